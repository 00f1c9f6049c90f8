#pragma once
// Switches the C runtime (shared by the test and the plug-in) to a locale whose decimal separator is a
// comma, for the life of the object, and back to the C locale afterwards. Outside Windows, a German
// locale is compiled into a private folder when the system has none.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace params_test {

class CommaLocale {
public:
    CommaLocale() {
        for (const char* name :
             {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "German", "deu"}) {
            if (Use(name))
                return;
        }
#if !defined(_WIN32)
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tovrin-locales";
        if (!std::filesystem::exists(folder / "de_DE.UTF-8")) {
            std::filesystem::create_directories(folder);
            const std::string command =
                "localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
            (void)std::system(command.c_str());
        }
        const char* old = std::getenv("LOCPATH");
        const std::string previous = old ? old : "";
        ::setenv("LOCPATH", folder.c_str(), 1);
        Use("de_DE.UTF-8");
        if (old)
            ::setenv("LOCPATH", previous.c_str(), 1);
        else
            ::unsetenv("LOCPATH");
#endif
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, "C");
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool Active() const {
        return active_;
    }

private:
    bool Use(const char* name) {
        if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',') {
            active_ = true;
            return true;
        }
        std::setlocale(LC_ALL, "C");
        return false;
    }
    bool active_ = false;
};

} // namespace params_test
