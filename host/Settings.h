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

    // Strictness. A strict host (the default, as tests want it) puts guard bytes around every handle and
    // world and checks them at disposal, pads world rows and checks the padding, fills fresh handles, fresh
    // uncleared worlds and outputs before a render with the poison byte, and compares the input layer with a
    // copy taken before every render. A production host (`Production()`, as the tool and the video-filter
    // module run it) does none of that: memory is handed out as it comes, and the blocks of freed worlds
    // and large handles go to a pool that serves the next request of the same size. Both kinds account for
    // every handle, world and suite, report leaks and refuse unknown handles and worlds.
    bool strict = true;
    std::uint8_t poisonByte = 0xCD;       // strict only
    A_long rowPaddingBytes = 48;          // beyond width × pixel size; checked when strict
    bool poisonOutputBeforeRender = true; // strict only

    // The main window given by get_platform_data (0). Null means the host's default: a fixed stand-in
    // value outside Windows, no window on Windows.
    void* mainWindow = nullptr;

    // The settings of a host that renders for people rather than tests: not strict, rows not padded.
    static Settings Production() {
        Settings s;
        s.strict = false;
        s.rowPaddingBytes = 0;
        s.poisonOutputBeforeRender = false;
        return s;
    }
};

} // namespace host
