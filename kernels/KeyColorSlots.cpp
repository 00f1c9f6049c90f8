#include "kernels/KeyColorSlots.h"

namespace {

KeySlotIsa DetectKeySlotIsa() noexcept {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? KeySlotIsa::Avx2 : KeySlotIsa::Plain;
}

// Asked once while the library loads, on one thread, so that the passes' worker threads only read it.
const KeySlotIsa kBestKeySlotIsa = DetectKeySlotIsa();

} // namespace

KeySlotIsa BestKeySlotIsa() noexcept {
    return kBestKeySlotIsa;
}

namespace {

template <class Pixel>
void KeySlotsWith(KeySlotIsa isa, const Pixel* pixels, int32_t n, uint32_t* colours,
                  uint32_t* slots) noexcept {
    if (isa == KeySlotIsa::Avx2)
        Avx2KeySlots(pixels, n, colours, slots);
    else
        KeySlotsLoop(pixels, n, colours, slots);
}

} // namespace

void MakeKeySlots(KeySlotIsa isa, const PF_Pixel8* pixels, int32_t n, uint32_t* colours,
                  uint32_t* slots) noexcept {
    KeySlotsWith(isa, pixels, n, colours, slots);
}
void MakeKeySlots(KeySlotIsa isa, const PF_Pixel16* pixels, int32_t n, uint32_t* colours,
                  uint32_t* slots) noexcept {
    KeySlotsWith(isa, pixels, n, colours, slots);
}
void MakeKeySlots(KeySlotIsa isa, const PF_PixelFloat* pixels, int32_t n, uint32_t* colours,
                  uint32_t* slots) noexcept {
    KeySlotsWith(isa, pixels, n, colours, slots);
}

uint32_t KeyColorSlot(uint32_t colour) noexcept {
    return SlotOf({colour >> 16, (colour >> 8) & 0xffu, colour & 0xffu});
}

static_assert(SpreadBits(0xffu) == 0x249249u);
static_assert(SlotOf({0xff, 0xff, 0xff}) == 0xffffffu && SlotOf({0x80, 0, 0}) == 0x800000u &&
              SlotOf({0, 0, 0x80}) == 0x200000u && SlotOf({1, 2, 3}) == 0x00001du);
