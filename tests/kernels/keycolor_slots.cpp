// The key selection's first step, a pixel's 8-bit colour and cache slot, built for each instruction set
// this processor has: every build gives what the channel conversion (KeyColorOfFloat for float pixels) and
// a bit-by-bit interleave give.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "kernels/KeyColorSlots.h"
#include "kernels/MaskedPasses.h"
#include "kernels/SelectKeyColors.h"

namespace {

std::vector<KeySlotIsa> AvailableSlotIsas() {
    std::vector<KeySlotIsa> isas{KeySlotIsa::Plain};
    if (BestKeySlotIsa() == KeySlotIsa::Avx2)
        isas.push_back(KeySlotIsa::Avx2);
    return isas;
}

// Red's bit i at 3i + 2, green's at 3i + 1, blue's at 3i.
uint32_t InterleavedSlot(uint32_t red, uint32_t green, uint32_t blue) {
    uint32_t slot = 0;
    for (uint32_t bit = 0; bit < 8; ++bit)
        slot |= ((red >> bit) & 1u) << (3 * bit + 2) | ((green >> bit) & 1u) << (3 * bit + 1) |
                ((blue >> bit) & 1u) << (3 * bit);
    return slot;
}

TEST(KeyColorSlots, SlotsInterleaveTheChannelsBitByBit) {
    for (uint32_t colour : {0x000000u, 0xffffffu, 0x800000u, 0x008000u, 0x000080u, 0x010203u, 0xa5c33cu})
        EXPECT_EQ(KeyColorSlot(colour), InterleavedSlot(colour >> 16, (colour >> 8) & 0xff, colour & 0xff))
            << std::hex << colour;
}

// Runs of every length up to two vectors and a long one, so that each build's vector steps and its tail
// are met; 16-bit channels above full scale (outside the format) count as full scale.
TEST(KeyColorSlots, EveryBuildGivesTheConvertedColourAndItsSlot) {
    std::mt19937 rng(17);
    for (KeySlotIsa isa : AvailableSlotIsas())
        for (int32_t n : {0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 257}) {
            std::vector<PF_Pixel8> p8(static_cast<std::size_t>(n));
            std::vector<PF_Pixel16> p16(static_cast<std::size_t>(n));
            for (int32_t k = 0; k < n; ++k) {
                p8[std::size_t(k)] = {A_u_char(rng()), A_u_char(rng()), A_u_char(rng()), A_u_char(rng())};
                const auto channel = [&rng] { return A_u_short(rng() % 4 == 0 ? rng() : rng() % 32769); };
                p16[std::size_t(k)] = {channel(), channel(), channel(), channel()};
            }
            std::vector<uint32_t> colours(std::size_t(n) + 1, 0xdeadbeef),
                slots(std::size_t(n) + 1, 0xdeadbeef);
            MakeKeySlots(isa, p8.data(), n, colours.data(), slots.data());
            for (int32_t k = 0; k < n; ++k) {
                const PF_Pixel8& p = p8[std::size_t(k)];
                ASSERT_EQ(colours[std::size_t(k)], uint32_t(p.red) << 16 | uint32_t(p.green) << 8 | p.blue)
                    << "8-bit, isa " << int(isa) << ", n " << n << ", pixel " << k;
                ASSERT_EQ(slots[std::size_t(k)], InterleavedSlot(p.red, p.green, p.blue));
            }
            MakeKeySlots(isa, p16.data(), n, colours.data(), slots.data());
            for (int32_t k = 0; k < n; ++k) {
                const PF_Pixel16& p = p16[std::size_t(k)];
                const uint32_t r = ConvertChannel16To8(p.red), g = ConvertChannel16To8(p.green),
                               b = ConvertChannel16To8(p.blue);
                ASSERT_EQ(colours[std::size_t(k)], r << 16 | g << 8 | b)
                    << "16-bit, isa " << int(isa) << ", n " << n << ", pixel " << k;
                ASSERT_EQ(slots[std::size_t(k)], InterleavedSlot(r, g, b));
            }
            std::vector<PF_PixelFloat> pf(static_cast<std::size_t>(n));
            for (PF_PixelFloat& p : pf) {
                const auto channel = [&rng] {
                    return rng() % 4 == 0 ? std::bit_cast<PF_FpShort>(uint32_t(rng()))
                                          : PF_FpShort(rng() % 2000) / 1500.0f - 0.1f;
                };
                p = {channel(), channel(), channel(), channel()};
            }
            MakeKeySlots(isa, pf.data(), n, colours.data(), slots.data());
            for (int32_t k = 0; k < n; ++k) {
                const PF_Pixel c = KeyColorOfFloat(pf[std::size_t(k)]);
                ASSERT_EQ(colours[std::size_t(k)], uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue)
                    << "float, isa " << int(isa) << ", n " << n << ", pixel " << k;
                ASSERT_EQ(slots[std::size_t(k)], InterleavedSlot(c.red, c.green, c.blue));
            }
            // Nothing is written past the run.
            EXPECT_EQ(colours[std::size_t(n)], 0xdeadbeefu);
            EXPECT_EQ(slots[std::size_t(n)], 0xdeadbeefu);
        }
}

// The slot loop writes the 16-to-8-bit conversion out again (it vectorises there): every 16-bit value, in
// each channel, gives the shared conversion's byte.
TEST(KeyColorSlots, EverySixteenBitValueConvertsAsTheSharedConversion) {
    constexpr int32_t kValues = 65536;
    std::vector<PF_Pixel16> pixels(kValues);
    for (int32_t v = 0; v < kValues; ++v)
        pixels[std::size_t(v)] = {0, A_u_short(v), A_u_short(kValues - 1 - v), A_u_short(v ^ 0x5555)};
    std::vector<uint32_t> colours(kValues), slots(kValues);
    for (KeySlotIsa isa : AvailableSlotIsas()) {
        MakeKeySlots(isa, pixels.data(), kValues, colours.data(), slots.data());
        for (int32_t v = 0; v < kValues; ++v) {
            const PF_Pixel16& p = pixels[std::size_t(v)];
            const uint32_t expected = uint32_t(ConvertChannel16To8(p.red)) << 16 |
                                      uint32_t(ConvertChannel16To8(p.green)) << 8 |
                                      ConvertChannel16To8(p.blue);
            ASSERT_EQ(colours[std::size_t(v)], expected) << "isa " << int(isa) << ", value " << v;
        }
    }
}

// The float loop rounds without a double: on every float that lies near a step between two bytes (a few
// thousand on each side of each (k + 0.5) / 255), on 0, 1 and their neighbours, on -0, infinities, NaNs
// and values beyond 1, and on a spread of bit patterns, each build gives KeyColorOfFloat's byte.
TEST(KeyColorSlots, FloatChannelsRoundAsTheKeyColourOfAFloatPixel) {
    std::vector<PF_FpShort> values;
    const auto around = [&values](PF_FpShort centre, int steps) {
        PF_FpShort below = centre, above = centre;
        values.push_back(centre);
        for (int i = 0; i < steps; ++i) {
            below = std::nextafter(below, -1.0f);
            above = std::nextafter(above, 2.0f);
            values.push_back(below);
            values.push_back(above);
        }
    };
    for (int k = 0; k < 255; ++k)
        around((k + 0.5f) / 255.0f, 3000);
    for (PF_FpShort edge : {0.0f, 1.0f, std::numeric_limits<PF_FpShort>::denorm_min()})
        around(edge, 3000);
    for (PF_FpShort special :
         {-0.0f, std::numeric_limits<PF_FpShort>::infinity(), -std::numeric_limits<PF_FpShort>::infinity(),
          std::numeric_limits<PF_FpShort>::quiet_NaN(), -std::numeric_limits<PF_FpShort>::quiet_NaN(),
          std::numeric_limits<PF_FpShort>::signaling_NaN(), 1.5f, 255.0f, 256.0f, 1e30f, -1e-30f, -1.0f})
        values.push_back(special);
    for (uint32_t bits = 0; bits < 0xffff0000u; bits += 0x10001u * 7u)
        values.push_back(std::bit_cast<PF_FpShort>(bits));
    // Each value in each channel, beside its neighbours in the list.
    const std::size_t n = values.size();
    std::vector<PF_PixelFloat> pixels(n);
    for (std::size_t i = 0; i < n; ++i)
        pixels[i] = {0.5f, values[i], values[(i + 1) % n], values[(i + n - 1) % n]};
    std::vector<uint32_t> colours(n), slots(n);
    for (KeySlotIsa isa : AvailableSlotIsas()) {
        MakeKeySlots(isa, pixels.data(), int32_t(n), colours.data(), slots.data());
        for (std::size_t i = 0; i < n; ++i) {
            const PF_Pixel c = KeyColorOfFloat(pixels[i]);
            ASSERT_EQ(colours[i], uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue)
                << "isa " << int(isa) << ", value " << values[i] << " (bits " << std::hex
                << std::bit_cast<uint32_t>(values[i]) << ")";
        }
    }
}

} // namespace
