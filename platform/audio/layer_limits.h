// Sizes and checks shared by the wave-in and the wave-out.
#pragma once

#include "wave_device.h"

#include <cstddef>

namespace wavelark::audio {

// The ring between the audio thread and the worker: about six seconds of 44100 Hz stereo, more
// than the largest ring of caller buffers (16 x 32768 bytes) and a long stall of the worker.
inline constexpr size_t kRingBytes = size_t{1} << 20;

inline bool usableBuffer(const WaveBuffer* buffer)
{
    return buffer && buffer->data && buffer->length > 0 && buffer->length % kBytesPerFrame == 0;
}

}
