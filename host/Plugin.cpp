#include "host/Plugin.h"

#include "host/HostError.h"
#include "host/ModuleFile.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace host {
namespace {

std::string Describe(const std::filesystem::path& file) {
    return "plug-in '" + file.string() + "'";
}

#if defined(_WIN32)
std::string LastErrorText() {
    DWORD code = GetLastError();
    char buffer[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                   sizeof(buffer), nullptr);
    std::string text = buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return "error " + std::to_string(code) + (text.empty() ? "" : ": " + text);
}
#endif

} // namespace

std::vector<std::uint8_t> Plugin::ReadPiPLBytes(void* module) {
#if defined(_WIN32)
    HMODULE m = static_cast<HMODULE>(module);
    HRSRC info =
        FindResourceExW(m, L"PiPL", MAKEINTRESOURCEW(16000), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!info)
        throw HostError("no PiPL resource 16000 (language 1033): " + LastErrorText());
    HGLOBAL loaded = LoadResource(m, info);
    DWORD size = SizeofResource(m, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        throw HostError("the PiPL resource cannot be read: " + LastErrorText());
    auto p = static_cast<const std::uint8_t*>(bytes);
    return std::vector<std::uint8_t>(p, p + size);
#else
    auto bytes = static_cast<const unsigned char*>(dlsym(module, "PiPL_16000"));
    auto size = static_cast<const std::size_t*>(dlsym(module, "PiPL_16000_size"));
    if (!bytes || !size)
        throw HostError("no PiPL: the library exports no PiPL_16000 and PiPL_16000_size");
    return std::vector<std::uint8_t>(bytes, bytes + *size);
#endif
}

std::shared_ptr<Plugin> Plugin::Load(const std::filesystem::path& file) {
    std::shared_ptr<Plugin> plugin(new Plugin);
    plugin->file_ = std::filesystem::absolute(file);
    // The loader trusts the file's headers; a file cut short would crash it rather than fail.
    std::string problem = ModuleFileProblem(plugin->file_);
    if (!problem.empty())
        throw HostError(Describe(file) + " " + problem);
#if defined(_WIN32)
    plugin->module_ = LoadLibraryW(plugin->file_.wstring().c_str());
    if (!plugin->module_)
        throw HostError(Describe(file) + " cannot be loaded: " + LastErrorText());
#else
    plugin->module_ = dlopen(plugin->file_.string().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!plugin->module_) {
        const char* why = dlerror();
        throw HostError(Describe(file) + " cannot be loaded: " + (why ? why : "unknown reason"));
    }
#endif
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadPiPLBytes(plugin->module_);
    } catch (const HostError& e) {
        throw HostError(Describe(file) + ": " + e.what());
    }
    std::string error;
    plugin->pipl_ = ParsePiPL(bytes, &error);
    if (!plugin->pipl_)
        throw HostError(Describe(file) + " has a malformed PiPL: " + error);
    const PiPL& pipl = *plugin->pipl_;
    if (pipl.kind != FourCC("eFKT"))
        throw HostError(Describe(file) + " is not an effect: its PiPL kind is '" +
                        (pipl.kind ? FourCCText(*pipl.kind) : std::string("none")) + "', not 'eFKT'");
    if (pipl.entryPoint.empty())
        throw HostError(Describe(file) + " names no 64-bit entry point ('8664') in its PiPL");
    if (!pipl.version || !pipl.outFlags || !pipl.outFlags2)
        throw HostError(Describe(file) + " lacks 'eVER', 'eGLO' or 'eGL2' in its PiPL");
#if defined(_WIN32)
    auto entry = GetProcAddress(static_cast<HMODULE>(plugin->module_), pipl.entryPoint.c_str());
#else
    void* entry = dlsym(plugin->module_, pipl.entryPoint.c_str());
#endif
    if (!entry)
        throw HostError(Describe(file) + " does not export the entry point '" + pipl.entryPoint +
                        "' that its PiPL names");
    plugin->entry_ = reinterpret_cast<PF_FilterProc>(reinterpret_cast<void (*)()>(entry));
    return plugin;
}

std::shared_ptr<Plugin> Plugin::Wrap(PF_FilterProc entry, std::optional<PiPL> pipl,
                                     std::filesystem::path file) {
    if (!entry)
        throw HostError("no entry point to wrap");
    std::shared_ptr<Plugin> plugin(new Plugin);
    plugin->entry_ = entry;
    plugin->pipl_ = std::move(pipl);
    plugin->file_ = std::move(file);
    return plugin;
}

Plugin::~Plugin() {
#if defined(_WIN32)
    if (module_)
        FreeLibrary(static_cast<HMODULE>(module_));
#else
    if (module_)
        dlclose(module_);
#endif
}

std::string Plugin::AnsiPath() const {
#if defined(_WIN32)
    std::wstring wide = file_.wstring();
    if (wide.empty())
        return {};
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), int(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
#else
    return file_.string();
#endif
}

} // namespace host
