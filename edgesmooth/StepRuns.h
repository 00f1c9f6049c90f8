#pragma once
// How far a colour boundary runs along a row or column next to a step, read from the edge flag map
// alone. A step at (x, y) with the right bit lies between (x, y) and (x + 1, y); with the below bit,
// between (x, y) and (x, y + 1).
#include <cstdint>

#include "edgesmooth/EdgeFlagMap.h"

enum RampDirection : int32_t { kRampLeft = 0, kRampRight = 1, kRampUp = 2, kRampDown = 3 };

// Length of the boundary run beside a step, 0 for none.
int32_t FindRunLeft(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
int32_t FindRunRight(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
int32_t FindRunUp(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
int32_t FindRunDown(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// Length of a one-pixel-thick line ending at the step, compressed beyond 5 (n → 5 + (n − 5) / 2).
int32_t FindThinRunLeft(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
int32_t FindThinRunRight(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
int32_t FindThinRunUp(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
int32_t FindThinRunDown(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// Whether the step borders a uniform 2×2 block with edges on all sides, on the side of the ramp.
bool IsIsolatedBlock(const EdgeFlagMap& m, RampDirection direction, int32_t x, int32_t y) noexcept;

// The strength of one long ramp of length `run` whose opposite run (from the pixel beyond its far end)
// is `opposite`: weaker near tiny details. May be 0 or negative; RampDecrement then takes 1.
int64_t AdjustStrengthForShape(const EdgeFlagMap& m, RampDirection direction, int32_t run, int32_t opposite,
                               int64_t strength, int32_t x, int32_t y) noexcept;
