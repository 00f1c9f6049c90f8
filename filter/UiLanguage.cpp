#include "filter/UiLanguage.h"

#include <atomic>
#include <cctype>

#include "platform/Platform.h"

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// 0 = not yet decided, 1 = Japanese, 2 = English: decided once per process.
std::atomic<int> g_language{0};

struct LocalizedEntry {
    TextKind kind;
    const char* japanese; // code page 932 bytes; null when there is none
    const char* english;
};

// The Japanese texts are stored as code page 932 bytes, the encoding the host shows them in.
constexpr LocalizedEntry kTexts[] = {
    {TextKind::Name, nullptr, "Tovrin"},
    {TextKind::Notice,
     "\x90\x46\x82\xc5\x91\x49\x82\xf1\x82\xbe\x89\xe6\x91\x66\x82\xf0\x82\xda\x82\xa9\x82\xb5\x82\xdc\x82"
     "\xb7"
     "\x81\x42",
     "Blurs the pixels chosen by colour."},
};
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

const char* LocalizedText(TextKind kind) {
    for (const LocalizedEntry& e : kTexts) {
        if (e.kind != kind)
            continue;
        if (UiLanguage() == UiLanguageKind::Japanese && e.japanese)
            return e.japanese;
        return e.english ? e.english : "";
    }
    return "";
}
