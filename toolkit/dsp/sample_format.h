// Sample width and channel conversion between the chain's four PCM layouts: 8-bit unsigned
// (offset 128) or 16-bit signed little-endian, mono or stereo, channels interleaved left first.
#pragma once

#include "sorvak.h"

#include <cstddef>
#include <cstdint>

namespace sorvak::dsp {

struct SampleFormat {
    int bits = 16;
    int channels = 2;
};

// Bytes of one frame, (bits / 8) * channels, or 0 when that is not a positive size.
uint32_t frameBytes(const SampleFormat& format);

// Converts `frames` whole frames from `source` into `destination`, which has room for
// frames * frameBytes(to) bytes; both formats must have a positive frame size. Each frame passes
// through the working format (16-bit stereo), where perFrame (may be null) sees and may change
// it. Bit and channel counts other than 8/16 and 1/2 are read by their bit patterns: 16-bit
// when bits / 8 has bit 1 set, stereo when channels / 2 is odd; the samples sit at the start of
// each frame and any further bytes of a destination frame are zero.
void convertFrames(const uint8_t* source, uint8_t* destination, size_t frames, const SampleFormat& from,
                   const SampleFormat& to, SorvakFrameFunction perFrame);

}
