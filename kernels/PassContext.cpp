#include "kernels/PassContext.h"

#include <cstdint>

Block SplitBlock(int32_t items, int32_t i, int32_t calls) {
    // A host that numbers its calls oddly, or an inverted rectangle, gets empty blocks rather than a
    // division by zero or a block outside the items.
    if (items <= 0 || calls <= 0 || i < 0 || i >= calls)
        return {0, 0};
    const int64_t n = items;
    const int64_t t = calls;
    const int64_t q = (n + t - 1) / t;
    const int64_t m = n + t - q * t;
    if (i < m)
        return {static_cast<int32_t>(i * q), static_cast<int32_t>(q)};
    return {static_cast<int32_t>(q * m + (q - 1) * (i - m)), static_cast<int32_t>(q - 1)};
}

PF_Err RunPass(const PF_InData* in_data, A_long iterations, void* context, PassFunction pass) {
    if (!in_data || !context || !pass)
        return PF_Err_BAD_CALLBACK_PARAM;
    if (!in_data->utils || !in_data->utils->iterate_generic)
        return pass(context, 0, 0, 1);
    return in_data->utils->iterate_generic(iterations, context, pass);
}
