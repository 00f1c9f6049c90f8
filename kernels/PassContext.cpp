#include "kernels/PassContext.h"

#include <cstdint>
#include <limits>

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

PF_Err RunPass(const PF_InData* in_data, A_long iterations, PassContext* context, PassFunction pass) {
    return RunPassOn(in_data, iterations, context, pass);
}

PF_Err RunPassOn(const PF_InData* in_data, A_long iterations, void* context, PassFunction pass) {
    if (!in_data || !context || !pass)
        return PF_Err_BAD_CALLBACK_PARAM;
    if (!in_data->utils || !in_data->utils->iterate_generic)
        return pass(context, 0, 0, 1); // without the host's iteration one call takes every line
    return in_data->utils->iterate_generic(iterations, context, pass);
}

PF_Err SplitRectRows(const PF_Rect& rect, A_long i, A_long calls, RectBlock* out) {
    *out = RectBlock{};
    const int64_t width = static_cast<int64_t>(rect.right) - rect.left;
    const int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
    if (width <= 0 || height <= 0)
        return PF_Err_NONE;
    if (width > std::numeric_limits<int32_t>::max() || height > std::numeric_limits<int32_t>::max())
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    out->width = static_cast<int32_t>(width);
    out->height = static_cast<int32_t>(height);
    out->rows = SplitBlock(out->height, i, calls);
    return PF_Err_NONE;
}
