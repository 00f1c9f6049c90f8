#pragma once
// What the embedded host tells the plug-in about itself, and how strictly it watches it.
#include <cstdint>

#include "sdk/AE_Effect.h"

namespace host {

constexpr A_long kAfterEffects = 0x46585443; // 'FXTC'
constexpr A_long kPremiere = 0x50724D72;     // 'PrMr'

struct Settings {
    A_long applicationId = kAfterEffects;
    PF_SpecVersion version{13, 28}; // 12.11 is a legacy host
    PF_Quality quality = PF_Quality_HI;
    PF_RationalScale downsampleX{1, 1};
    PF_RationalScale downsampleY{1, 1};
    bool renderEngine = false;
    int workerThreads = 0; // iterate_generic calls per pass; 0: one per hardware thread

    // Time of the commands (current time, step and scale given to checkouts).
    A_long currentTime = 0;
    A_long timeStep = 1;
    A_long totalTime = 30;
    A_u_long timeScale = 30;

    // Strictness: bytes written into fresh worlds, handles and outputs before a render, and the padding
    // beyond width × pixel size at the end of every world row.
    std::uint8_t poisonByte = 0xCD;
    A_long rowPaddingBytes = 48;
    bool poisonOutputBeforeRender = true;

    // The main window given by get_platform_data (0). Null means the host's default: a fixed stand-in
    // value outside Windows, no window on Windows.
    void* mainWindow = nullptr;
};

} // namespace host
