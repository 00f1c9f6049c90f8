#pragma once
// The framework's exceptions. The entry point turns each into a host error code.
#include <exception>

#include "sdk/AE_Effect.h"

namespace AEUtil {

// A host error code with the text "file(line): " followed by the caller's formatted text.
class AEException : public std::exception {
public:
    AEException(PF_Err err, const char* file, int line, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 5, 6)))
#endif
        ;
    PF_Err Error() const noexcept {
        return err_;
    }
    const char* what() const noexcept override {
        return message_;
    }

private:
    PF_Err err_;
    char message_[4098];
};

// The same shape, carrying a Windows error code.
class Win32Exception : public std::exception {
public:
    Win32Exception(unsigned long code, const char* file, int line, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 5, 6)))
#endif
        ;
    unsigned long Code() const noexcept {
        return code_;
    }
    const char* what() const noexcept override {
        return message_;
    }

private:
    unsigned long code_;
    char message_[4098];
};

// A host suite that cannot be acquired is raised as the bare code PF_Err_BAD_CALLBACK_PARAM.
[[noreturn]] void ThrowSuiteFailure();

} // namespace AEUtil
