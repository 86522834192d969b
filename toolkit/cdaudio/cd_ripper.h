// Ripping one audio track of a CD into a 44100 Hz 16-bit stereo WAV file (the CDtoWAV export).
#pragma once

#include "sorvak.h"

#include <chrono>
#include <cstdint>

namespace sorvak::cd {

// CDtoWAV's results (sorvak.h says what each means to a caller).
enum RipResult : int {
    kRipDone = 0,
    kRipNoSuchTrack = 1,
    kRipDriveNotReady = 2,
    kRipWriteFailed = 3,
    kRipReadError = 4,
};

struct RipLimits {
    // Sectors asked for in one READ CD (1 .. kMaxSectorsPerRead).
    uint32_t sectorsPerRead = 27;
    // How long the rip waits for the drive to become ready (spinning up), START STOP UNIT
    // included, before it gives up.
    std::chrono::milliseconds readyWait{30000};
};

// CDtoWAV with its limits given.
int ripTrack(const char* trackPath, const char* destination, SorvakProgressFunction progress, const RipLimits& limits);

}
