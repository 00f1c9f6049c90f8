#include "share/AEUtil/AEException.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace AEUtil {

namespace {
// "file(line): " (at most 2048 characters) followed by the caller's text (at most 2048 characters).
void ComposeMessage(char (&message)[4098], const char* file, int line, const char* format, va_list args) {
    char where[2049];
    std::snprintf(where, sizeof where, "%s(%d): ", file ? file : "", line);
    char text[2049];
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    std::snprintf(message, sizeof message, "%s%s", where, text);
}
} // namespace

AEException::AEException(PF_Err err, const char* file, int line, const char* format, ...) : err_(err) {
    va_list args;
    va_start(args, format);
    ComposeMessage(message_, file, line, format, args);
    va_end(args);
}

Win32Exception::Win32Exception(unsigned long code, const char* file, int line, const char* format, ...)
    : code_(code) {
    va_list args;
    va_start(args, format);
    ComposeMessage(message_, file, line, format, args);
    va_end(args);
}

void ThrowSuiteFailure() {
    throw static_cast<A_long>(PF_Err_BAD_CALLBACK_PARAM);
}

} // namespace AEUtil
