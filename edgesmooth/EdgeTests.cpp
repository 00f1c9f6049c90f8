#include "edgesmooth/EdgeTests.h"

namespace {

EdgeIsa DetectEdgeIsa() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return EdgeIsa::Avx2;
    if (__builtin_cpu_supports("sse4.1"))
        return EdgeIsa::Sse41;
#endif
    return EdgeIsa::Plain;
}

// Asked once while the library loads, on one thread, so that the detection calls only read it.
const EdgeIsa kBestEdgeIsa = DetectEdgeIsa();

} // namespace

EdgeIsa BestEdgeIsa() noexcept {
    return kBestEdgeIsa;
}
