#pragma once
// The one embedded host of the process and the effect loaded into it, shared by every frei0r instance.
// The protocol's callbacks carry no reference to their host, so a process has one host; every frei0r
// instance is an applied instance of the effect in that host, with its own parameters and sequence data.
// The effect is set up once (global setup) for all of them, as a host does. Instances render on whatever
// threads the application updates them from: each render's passes share the host's worker threads one
// pass at a time, and instances share nothing mutable.
#include <filesystem>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "frei0r/Controls.h"
#include "host/Host.h"
#include "host/Instance.h"
#include "host/Plugin.h"

namespace frei0r {

class Engine {
public:
    // The engine of the process, made (and the effect loaded) at the first call and kept until the last
    // f0r_deinit; instances hold it for their lives.
    static std::shared_ptr<Engine> Get();
    static void Hold();    // f0r_init
    static void Release(); // f0r_deinit

    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // False when the effect could not be loaded or set up; Problem() says why. Frames then pass through.
    bool Ready() const { return global_ != nullptr; }
    const std::string& Problem() const { return problem_; }
    const std::vector<Control>& Controls() const { return controls_; }
    const std::string& EffectName() const { return effectName_; }

    // An applied instance of the effect (parameters and sequence set up), or null with the reason.
    std::unique_ptr<host::Instance> NewInstance(std::string* why);
    // Sets the instance's sequence down; the instance must go before the engine.
    void EndInstance(std::unique_ptr<host::Instance> instance);
    host::Host& Host() { return *host_; }
    // Whether the effect renders through SmartFX (pre-render and render) rather than the classic command.
    bool Smart() const { return smart_; }
    // Held by a render: renders of different instances run together, but not while an instance is set up
    // or set down (parameter setup registers the effect's shared parameter definitions anew).
    std::shared_lock<std::shared_mutex> RenderLock() { return std::shared_lock(commands_); }

private:
    Engine();
    void Load();

    std::shared_mutex commands_; // setups exclusively, renders shared
    std::string problem_;
    std::unique_ptr<host::Host> host_;
    std::shared_ptr<host::Plugin> plugin_;
    std::unique_ptr<host::Instance> global_; // holds the global setup; never renders
    std::vector<Control> controls_;
    std::string effectName_;
    bool smart_ = false;
};

// Where the effect's file is looked for: TOVRIN_PLUGIN, beside this module, the build tree's plugin folder.
std::vector<std::filesystem::path> PluginCandidates();

} // namespace frei0r
