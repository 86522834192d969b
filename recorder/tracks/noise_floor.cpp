#include "tracks/noise_floor.h"

#include "tracks/level_profile.h"

#include <algorithm>

namespace wavelark {

namespace {

// Below this a window is digital silence (or a dither-free fade's last samples), not noise.
constexpr float kDigitalSilenceDb = -100.0f;
// The threshold's place between the floor and the music: near the floor, well under the quiet
// passages of a song.
constexpr float kThresholdShare = 0.3f;

float medianOf(std::vector<float>& values)
{
    const auto middle = values.begin() + values.size() / 2;
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}

std::vector<float> medianSmooth(std::span<const float> levels, std::size_t radius)
{
    std::vector<float> smoothed(levels.size());
    std::vector<float> neighbourhood;
    neighbourhood.reserve(2 * radius + 1);
    for (std::size_t index = 0; index < levels.size(); ++index) {
        const std::size_t first = index >= radius ? index - radius : 0;
        const std::size_t end = std::min(levels.size(), index + radius + 1);
        neighbourhood.assign(levels.begin() + first, levels.begin() + end);
        smoothed[index] = medianOf(neighbourhood);
    }
    return smoothed;
}

NoiseFloor estimateNoiseFloor(std::span<const float> smoothedLevels)
{
    std::vector<float> sounding;
    sounding.reserve(smoothedLevels.size());
    for (float level : smoothedLevels) {
        if (level > kDigitalSilenceDb)
            sounding.push_back(level);
    }
    if (sounding.empty())
        return {kSilenceDb, kSilenceDb, kSilenceDb + kMinimumMarginDb};

    NoiseFloor floor;
    const std::size_t low = std::size_t(double(sounding.size()) * kFloorPercentile);
    std::nth_element(sounding.begin(), sounding.begin() + low, sounding.end());
    const float percentile = sounding[low];
    floor.musicDb = medianOf(sounding);

    std::vector<float> nearFloor;
    for (float level : sounding) {
        if (level >= percentile && level <= percentile + kFloorSpreadDb)
            nearFloor.push_back(level);
    }
    floor.floorDb = nearFloor.empty() ? percentile : medianOf(nearFloor);
    const float margin = std::clamp(kThresholdShare * (floor.musicDb - floor.floorDb), kMinimumMarginDb, kMaximumMarginDb);
    floor.thresholdDb = floor.floorDb + margin;
    return floor;
}

}
