#include "kernels/ProgressCounter.h"

PF_Err ProgressCounter::Report() const {
    if (!in_data || !in_data->inter.progress)
        return PF_Err_NONE;
    int64_t percent = 100;
    if (total != 0) {
        percent = static_cast<int64_t>(done) * 100 / total;
        percent = percent > 100 ? 100 : percent < 0 ? 0 : percent;
    }
    return in_data->inter.progress(effect_ref, static_cast<A_long>(percent), 100);
}

PF_Err ProgressCounter::Step() {
    ++done;
    return Report();
}
