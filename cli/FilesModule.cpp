#include "cli/FilesModule.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include <dlfcn.h>

#include "cli/OneLine.h"
#include "cli/ToolError.h"

namespace cli {

int ReportCommandFailure() noexcept {
    try {
        throw;
    } catch (const ToolError& e) {
        std::fprintf(stderr, "tovrin: %s\n", OneLine(e.what()).c_str());
        return e.ExitCode();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tovrin: not enough memory\n");
        return kExitFile;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovrin: %s\n", OneLine(e.what()).c_str());
    } catch (...) {
        std::fprintf(stderr, "tovrin: an unknown failure\n");
    }
    return kExitEffect;
}

int RunFilesCommand(FilesCommand command, const void* options) {
    static constexpr const char* kModule = "tovrin-files.so";
    std::vector<std::filesystem::path> candidates;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        candidates = {self.parent_path() / kModule,
                      self.parent_path().parent_path() / "lib" / "tovrin" / kModule};
    std::string tried;
    for (const std::filesystem::path& path : candidates) {
        if (!std::filesystem::is_regular_file(path, ec)) {
            tried += "\n  " + path.string();
            continue;
        }
        // Kept loaded until the process ends: its libraries' destructors run at exit, as if linked.
        void* module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (!module) {
            const char* why = ::dlerror();
            throw EffectError("cannot load " + path.string() + ": " + (why ? why : "unknown reason"));
        }
        using Entry = int (*)(int, const void*);
        auto entry = reinterpret_cast<Entry>(::dlsym(module, "tovrin_files_command"));
        if (!entry)
            throw EffectError(path.string() + " is not the tool's files module (no tovrin_files_command)");
        return entry(int(command), options);
    }
    throw EffectError(std::string("cannot find ") + kModule +
                      ", which reads and writes image files; searched:" + tried);
}

} // namespace cli
