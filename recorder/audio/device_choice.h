// Which sound device an engine opens and with what buffers: the Settings record's choice as it
// stood at start-up (new choices take effect at the next start).
#pragma once

#include <cstdint>

namespace wavelark {

struct DeviceChoice {
    int32_t device = -1;        // -1 the default device, 0..2 the first three devices
    uint32_t bufferSize = 8192; // bytes per buffer; rounded down to whole frames when opened
    uint32_t bufferCount = 8;
};

}
