#pragma once
// A plug-in as the host knows it: the loaded file, its PiPL and its entry point; or an entry point
// linked into the calling program (tests of the effect's inside), with an optional PiPL.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "host/PiPL.h"
#include "sdk/AE_Effect.h"

namespace host {

class Plugin {
public:
    // Checks the file's headers (ModuleFile.h), loads it (dlopen / LoadLibraryW), reads and parses its PiPL
    // and finds the entry point the PiPL names. Throws HostError with the reason when any step fails or the
    // PiPL is not an effect's.
    static std::shared_ptr<Plugin> Load(const std::filesystem::path& file);
    // An entry point of the calling program. `file` is what get_platform_data reports as the plug-in's
    // path (tests of stored defaults put it in a folder of their own).
    static std::shared_ptr<Plugin> Wrap(PF_FilterProc entry, std::optional<PiPL> pipl = std::nullopt,
                                        std::filesystem::path file = {});
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    PF_FilterProc Entry() const { return entry_; }
    const PiPL* pipl() const { return pipl_ ? &*pipl_ : nullptr; }
    const std::filesystem::path& File() const { return file_; }
    void SetFile(std::filesystem::path file) { file_ = std::move(file); }
    // The file's path in the process's ANSI code page, as get_platform_data reports it.
    std::string AnsiPath() const;
    // The loaded module (HMODULE on Windows, the dlopen handle elsewhere); null for a wrapped entry point.
    void* Module() const { return module_; }

    // Reads the PiPL of a loaded module without keeping it (Windows: resource "PiPL" 16000, language
    // 1033; elsewhere the exported PiPL_16000 / PiPL_16000_size). Throws HostError.
    static std::vector<std::uint8_t> ReadPiPLBytes(void* module);

private:
    Plugin() = default;
    void* module_ = nullptr;
    PF_FilterProc entry_ = nullptr;
    std::optional<PiPL> pipl_;
    std::filesystem::path file_;
};

} // namespace host
