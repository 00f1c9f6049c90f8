#pragma once
// Basic scalar types of the host protocol. The widths are fixed on every platform (A_long is always 32
// bits), so the records keep the 64-bit Windows layout on Linux as well.
#include <cstddef>
#include <cstdint>

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef short A_short;
typedef unsigned short A_u_short;
typedef char A_char;
typedef unsigned char A_u_char;
typedef unsigned char A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef unsigned long long A_u_longlong;
typedef unsigned long long A_HandleSize;
typedef long long A_intptr_t;
typedef A_long A_Err;
typedef A_u_short A_UTF16Char;

struct A_Time {
    A_long value;
    A_u_long scale;
};

struct A_LRect {
    A_long left, top, right, bottom;
};
typedef A_LRect A_Rect;

struct A_LegacyRect {
    A_short top, left, bottom, right;
};

struct A_Ratio {
    A_long num;
    A_u_long den;
};

enum {
    A_Err_NONE = 0,
    A_Err_GENERIC = 1,
    A_Err_STRUCT = 2,
    A_Err_PARAMETER = 3,
    A_Err_ALLOC = 4,
    A_Err_WRONG_THREAD = 5,
    A_Err_CONST_PROJECT_MODIFICATION = 6,
    A_Err_MISSING_SUITE = 13
};

static_assert(sizeof(A_Time) == 8 && sizeof(A_LRect) == 16 && sizeof(A_LegacyRect) == 8);
static_assert(sizeof(A_intptr_t) == 8 && sizeof(void*) == 8, "the host protocol is 64-bit only");
