#pragma once
// The host's basic suite, through which every other suite is acquired.
#include "sdk/A.h"

typedef int32_t SPErr;
typedef int32_t int32;
// A 4-byte BOOL as on Windows; the Linux build keeps the same width.
typedef int32_t SPBoolean;

#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4

enum : SPErr {
    kSPNoError = 0,
    kSPSuiteNotFoundError = 0x53214664, // 'S!Fd'
    kSPBadParameterError = 0x5061726D,  // 'Parm'
    kSPUnimplementedError = 0x21494D50, // '!IMP'
    kSPOutOfMemoryError = -108
};

extern "C" {
struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32 version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32 version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
    SPErr (*Undefined)(void);
};
}

static_assert(sizeof(SPBasicSuite) == 56);
static_assert(offsetof(SPBasicSuite, ReleaseSuite) == 8 && offsetof(SPBasicSuite, Undefined) == 48);
