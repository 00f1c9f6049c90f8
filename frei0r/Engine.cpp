#include "frei0r/Engine.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "host/ErrorNames.h"
#include "host/HostError.h"

namespace frei0r {
namespace {

std::mutex gMutex;
// Applications ask for the module's description without f0r_init (to list it) as well as between f0r_init
// and f0r_deinit: the engine, once made, stays until the last f0r_deinit (or until the module is unloaded),
// and after that while instances hold it.
std::shared_ptr<Engine> gHeld;
std::weak_ptr<Engine> gLive;
int gHolds = 0;

std::filesystem::path ThisModule() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PluginCandidates), &info) && info.dli_fname)
        return std::filesystem::path(info.dli_fname);
    return {};
}

} // namespace

std::vector<std::filesystem::path> PluginCandidates() {
    if (const char* env = std::getenv("TOVRIN_PLUGIN"); env && *env)
        return {env};
    std::vector<std::filesystem::path> candidates;
    std::filesystem::path self = ThisModule();
    if (!self.empty()) {
        std::filesystem::path dir = std::filesystem::absolute(self).parent_path();
        candidates = {dir / "Tovrin.so", dir.parent_path() / "plugin" / "Tovrin.so"};
    }
    return candidates;
}

std::shared_ptr<Engine> Engine::Get() {
    std::lock_guard lock(gMutex);
    if (!gHeld) {
        gHeld = gLive.lock();
        if (!gHeld) {
            gHeld.reset(new Engine);
            gLive = gHeld;
        }
    }
    return gHeld;
}

void Engine::Hold() {
    {
        std::lock_guard lock(gMutex);
        ++gHolds;
    }
    Get(); // loads the effect now
}

void Engine::Release() {
    std::shared_ptr<Engine> last;
    {
        std::lock_guard lock(gMutex);
        if (gHolds > 0 && --gHolds == 0)
            last = std::move(gHeld);
    }
    // The engine goes here, outside the lock, unless instances still hold it.
}

Engine::Engine() {
    try {
        Load();
    } catch (const std::exception& e) {
        problem_ = e.what();
    }
    if (!problem_.empty()) {
        global_.reset();
        std::fprintf(stderr, "tovrin (frei0r): %s; frames pass through unchanged\n", problem_.c_str());
    }
}

void Engine::Load() {
    std::filesystem::path file;
    std::string searched;
    for (const std::filesystem::path& candidate : PluginCandidates()) {
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec)) {
            file = candidate;
            break;
        }
        searched += (searched.empty() ? "" : ", ") + candidate.string();
    }
    if (file.empty()) {
        problem_ = "cannot find the effect's file Tovrin.so (set TOVRIN_PLUGIN or put it beside tovrin.so); "
                   "searched: " +
                   searched;
        return;
    }
    host_ = std::make_unique<host::Host>(host::Settings::Production());
    plugin_ = host::Plugin::Load(file);
    effectName_ = plugin_->pipl() ? plugin_->pipl()->name : std::string("Tovrin");
    auto global = std::make_unique<host::Instance>(*host_, plugin_);
    if (PF_Err err = global->GlobalSetup()) {
        problem_ = "the effect failed its global setup: " + host::DescribeError(err);
        return;
    }
    smart_ = (global->LastOutData().out_flags2 & PF_OutFlag2_SUPPORTS_SMART_RENDER) != 0;
    if (PF_Err err = global->ParamsSetup()) {
        global->GlobalSetdown();
        problem_ = "the effect failed its parameter setup: " + host::DescribeError(err);
        return;
    }
    std::vector<PF_ParamDef> params;
    for (A_long i = 0; i < global->ParamCount(); ++i)
        params.push_back(global->Param(i));
    controls_ = ControlsOf(params);
    global_ = std::move(global);
}

Engine::~Engine() {
    if (global_) {
        global_->GlobalSetdown();
        global_.reset();
    }
    if (host_) {
        std::string leaks = host_->LeakReport();
        if (!leaks.empty())
            std::fprintf(stderr, "tovrin (frei0r): the effect left resources with the host:\n%s",
                         leaks.c_str());
    }
    plugin_.reset();
}

std::unique_ptr<host::Instance> Engine::NewInstance(std::string* why) {
    if (!Ready()) {
        *why = problem_;
        return nullptr;
    }
    std::unique_lock lock(commands_);
    auto instance = std::make_unique<host::Instance>(*host_, plugin_);
    instance->ShareGlobalSetup(*global_);
    PF_Err err = instance->ParamsSetup();
    if (!err) {
        err = instance->SequenceSetup();
        if (err && instance->SequenceData())
            instance->SequenceSetdown();
    }
    if (err) {
        *why = "the effect failed to set up an instance: " + host::DescribeError(err);
        return nullptr;
    }
    return instance;
}

void Engine::EndInstance(std::unique_ptr<host::Instance> instance) {
    if (!instance)
        return;
    std::unique_lock lock(commands_);
    instance->SequenceSetdown();
    instance.reset();
}

} // namespace frei0r
