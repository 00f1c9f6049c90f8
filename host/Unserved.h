#pragma once
// Callbacks the host does not serve: each slot gets a function of its own signature that reports the
// call as a protocol violation (so a test fails by name) and answers with an error.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <type_traits>

#include "sdk/AE_Effect.h"
#include "sdk/SPBasic.h"

namespace host {

void ReportUnservedCall(const char* slot);

template <std::size_t N>
struct SlotName {
    char text[N];
    constexpr SlotName(const char (&s)[N]) { std::copy_n(s, N, text); }
};

template <class R>
R UnservedResult() {
    if constexpr (std::is_pointer_v<R>)
        return nullptr;
    else if constexpr (std::is_floating_point_v<R>)
        return R(NAN);
    else if constexpr (std::is_same_v<R, PF_Err>)
        return PF_Err_INVALID_CALLBACK;
    else
        return R{};
}

template <SlotName Name, class F>
struct Unserved;

template <SlotName Name, class R, class... A>
struct Unserved<Name, R (*)(A...)> {
    static R Call(A...) {
        ReportUnservedCall(Name.text);
        if constexpr (!std::is_void_v<R>)
            return UnservedResult<R>();
    }
};

template <SlotName Name, class R, class... A>
struct Unserved<Name, R (*)(A..., ...)> {
    static R Call(A..., ...) {
        ReportUnservedCall(Name.text);
        if constexpr (!std::is_void_v<R>)
            return UnservedResult<R>();
    }
};

} // namespace host

// Points `slot` of `table` at its unserved function.
#define HOST_UNSERVED(table, slot) (table).slot = &::host::Unserved<#slot, decltype((table).slot)>::Call
