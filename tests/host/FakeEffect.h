#pragma once
// A small effect linked into the host's tests, written against the protocol like the real one, so that
// the host's command handling can be tested without the plug-in file.
#include "host/PiPL.h"
#include "sdk/AE_Effect.h"

namespace tovrin::test::fake {

constexpr A_u_long kVersion = 0x00080001;
constexpr A_u_long kOutFlags = 0x02000410;  // sequence data needs flattening, pixel independent, deep
constexpr A_u_long kOutFlags2 = 0x00001400; // SmartFX, float

// What the fake effect does wrong or differently, set by a test before it sends commands.
struct Behaviour {
    A_u_long outFlags = kOutFlags;
    bool forgetCheckin = false;  // renders without checking its parameter in
    bool writeInput = false;     // writes one pixel of the input layer
    bool skipOutput = false;     // leaves the output unwritten
    bool keepUnflatData = false; // does not free the live record when it flattens
};
extern Behaviour behaviour;

PF_Err Entry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output,
             void* extra);
host::PiPL Pipl(A_u_long outFlags = kOutFlags);

// Parameter ids.
enum : A_long { kAmount = 11, kInvert = 12, kMode = 13, kGain = 14, kTint = 15 };

} // namespace tovrin::test::fake
