#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

namespace platform {

namespace {
// Windows limits a command line to 32767 characters; the stand-in keeps the same bound.
struct CommandLineBuffer {
    char text[32768] = {};
    std::size_t length = 0;

    void Put(char c) {
        if (length + 1 < sizeof text)
            text[length++] = c;
    }
    void PutArgument(const char* arg, std::size_t n) {
        const bool quote = n == 0 || std::memchr(arg, ' ', n) || std::memchr(arg, '\t', n);
        if (length > 0)
            Put(' ');
        if (quote)
            Put('"');
        for (std::size_t i = 0; i < n; ++i)
            Put(arg[i]);
        if (quote)
            Put('"');
    }
    CommandLineBuffer() {
        FILE* f = std::fopen("/proc/self/cmdline", "rb");
        if (!f)
            return;
        char raw[32768];
        const std::size_t n = std::fread(raw, 1, sizeof raw, f);
        std::fclose(f);
        std::size_t start = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (raw[i] == '\0') {
                PutArgument(raw + start, i - start);
                start = i + 1;
            }
        }
        if (start < n)
            PutArgument(raw + start, n - start);
        text[length] = '\0';
    }
};
} // namespace

const char* CommandLineA() {
    // Read once, like the process's own command line, which never changes.
    static const CommandLineBuffer buffer;
    return buffer.text;
}

bool IsShiftKeyDown() {
    const char* v = std::getenv("TOVRIN_SHIFT_KEY");
    return v && std::strcmp(v, "1") == 0;
}

int MultibyteCodePage() {
    const char* name = std::setlocale(LC_CTYPE, nullptr);
    const bool japanese =
        name && std::strncmp(name, "ja", 2) == 0 && (name[2] == '_' || name[2] == '\0' || name[2] == '.');
    return japanese ? 932 : 0;
}

void UseUserDefaultLocale() {
    std::setlocale(LC_ALL, "");
}

} // namespace platform
