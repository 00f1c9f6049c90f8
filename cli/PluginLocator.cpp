#include "cli/PluginLocator.h"

#include <cstdlib>
#include <vector>

#include "cli/ToolError.h"

namespace cli {

std::filesystem::path LocatePlugin(const std::string& given) {
    std::error_code ec;
    if (!given.empty()) {
        if (!std::filesystem::is_regular_file(given, ec))
            throw EffectError("no plug-in file at \"" + given + "\" (--plugin)");
        return given;
    }
    if (const char* env = std::getenv("TOVRIN_PLUGIN"); env && *env) {
        if (!std::filesystem::is_regular_file(env, ec))
            throw EffectError(std::string("no plug-in file at \"") + env + "\" (TOVRIN_PLUGIN)");
        return env;
    }
    // Beside the tool, in the build tree's plugin folder, or in an installed layout.
    std::vector<std::filesystem::path> candidates;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path dir = self.parent_path();
        candidates = {dir / "Tovrin.so", dir.parent_path() / "plugin" / "Tovrin.so",
                      dir.parent_path() / "lib" / "tovrin" / "Tovrin.so"};
    }
    std::string searched;
    for (const auto& c : candidates) {
        if (std::filesystem::is_regular_file(c, ec))
            return c;
        searched += "\n  " + c.string();
    }
    throw EffectError(
        "cannot find the plug-in file Tovrin.so; give it with --plugin or TOVRIN_PLUGIN. Searched:" +
        searched);
}

} // namespace cli
