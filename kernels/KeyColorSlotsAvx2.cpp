// The key selection's slot loop built for AVX2 (eight pixels a step): the same source as the plain loop.
#include "kernels/KeyColorSlots.h"

void Avx2KeySlots(const PF_Pixel8* pixels, int32_t n, uint32_t* colours, uint32_t* slots) noexcept {
    KeySlotsLoop(pixels, n, colours, slots);
}
void Avx2KeySlots(const PF_Pixel16* pixels, int32_t n, uint32_t* colours, uint32_t* slots) noexcept {
    KeySlotsLoop(pixels, n, colours, slots);
}
void Avx2KeySlots(const PF_PixelFloat* pixels, int32_t n, uint32_t* colours, uint32_t* slots) noexcept {
    KeySlotsLoop(pixels, n, colours, slots);
}
