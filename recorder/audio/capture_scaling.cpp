#include "audio/capture_scaling.h"

#include <algorithm>
#include <cstring>

namespace wavelark {

ChannelPeaks scaleCapturedFrames(uint8_t* bytes, std::size_t byteCount, double gain)
{
    ChannelPeaks peaks;
    const std::size_t frames = byteCount / 4;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        int16_t samples[2];
        std::memcpy(samples, bytes + frame * 4, 4);
        const double left = samples[0] * kSampleReciprocal * gain;
        const double right = samples[1] * kSampleReciprocal * gain;
        peaks.left = std::max(peaks.left, left);
        peaks.right = std::max(peaks.right, right);
        samples[0] = static_cast<int16_t>(left * 32767.0);
        samples[1] = static_cast<int16_t>(right * 32767.0);
        std::memcpy(bytes + frame * 4, samples, 4);
    }
    return peaks;
}

FullScaleCounts countFullScale(const uint8_t* bytes, std::size_t byteCount)
{
    FullScaleCounts counts;
    const std::size_t frames = byteCount / 4;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        int16_t samples[2];
        std::memcpy(samples, bytes + frame * 4, 4);
        counts.left += samples[0] == 32767 || samples[0] == -32768;
        counts.right += samples[1] == 32767 || samples[1] == -32768;
    }
    return counts;
}

}
