#include "optiondlg/UiLanguage.h"

#include <atomic>
#include <cctype>

#include "platform/Platform.h"

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// 0 = not yet decided, 1 = Japanese, 2 = English: decided once per process.
std::atomic<int> g_language{0};
} // namespace

unsigned int LanguageSwitchCode(const char* line) {
    if (!line)
        return 0;
    unsigned int code = 0;
    bool inQuotes = false;
    for (const char* p = line; *p; ++p) {
        if (*p == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (inQuotes || *p != '-' || p == line || !IsBlank(p[-1]) ||
            std::toupper(static_cast<unsigned char>(p[1])) != 'L')
            continue;
        const char* q = p + 2;
        while (IsBlank(*q))
            ++q;
        code = 0;
        for (; *q && !IsBlank(*q); ++q)
            code = code * 256u + static_cast<unsigned int>(std::toupper(static_cast<unsigned char>(*q)));
        p = q - 1;
    }
    return code;
}

UiLanguageKind UiLanguage() {
    int language = g_language.load(std::memory_order_relaxed);
    if (language == 0) {
        const unsigned int code = LanguageSwitchCode(platform::CommandLineA());
        if (code == 0x4A50) // "JP"
            language = 1;
        else if (code != 0)
            language = 2;
        else
            language = platform::MultibyteCodePage() == 932 ? 1 : 2;
        g_language.store(language, std::memory_order_relaxed);
    }
    return language == 1 ? UiLanguageKind::Japanese : UiLanguageKind::English;
}
