// The capture callback's arithmetic: each sample is scaled by the record gain in doubles and
// written back truncated toward zero, and the largest positive value of each channel is kept
// for the level meters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wavelark {

// 1 / 32767, stored once as a double: the scaling multiplies by it rather than dividing, and
// the truncation of the product back to 16 bits turns some values one step toward zero even at
// gain 1.0 (32576 becomes 32575).
inline constexpr double kSampleReciprocal = 1.0 / 32767.0;

struct ChannelPeaks {
    double left = 0.0;  // largest left value, 0.0 when no sample was positive
    double right = 0.0;
};

inline int16_t scaledSample(int16_t sample, double gain)
{
    const double value = sample * kSampleReciprocal * gain;
    return static_cast<int16_t>(value * 32767.0);
}

// Scales the whole frames of bytes (a trailing partial frame is left alone) in place and returns
// the channels' largest scaled values (sample / 32767 × gain), starting from 0.0.
ChannelPeaks scaleCapturedFrames(uint8_t* bytes, std::size_t byteCount, double gain);

// Samples of each channel at full scale (32767 or -32768): input that reached the converter's
// limit, counted in the raw input before the record gain.
struct FullScaleCounts {
    uint32_t left = 0;
    uint32_t right = 0;
};
FullScaleCounts countFullScale(const uint8_t* bytes, std::size_t byteCount);

}
