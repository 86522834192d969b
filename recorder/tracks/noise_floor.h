// The noise floor of a side: the level its surface noise, hiss and leftover hum sit at between the
// songs, estimated from the side's own level profile (records and tapes differ by tens of dB), and
// the threshold under which a stretch of the profile counts as "near the floor".
//
// Thread: pure functions, callable from any thread. Memory: a copy of the profile.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace wavelark {

struct NoiseFloor {
    float floorDb = 0;     // the typical level of the quietest material of the side
    float musicDb = 0;     // the median level of the side (its songs, for any side worth cutting)
    float thresholdDb = 0; // a window at or under this level sits near the floor
};

// Each level replaced by the median of the 2 × radius + 1 levels around it (fewer at the ends):
// a click of crackle or a run-out groove's tick lasts a window or two and disappears, a gap or a
// note does not.
std::vector<float> medianSmooth(std::span<const float> levels, std::size_t radius = 3);

// The floor is the median of the levels within kFloorSpreadDb above a low percentile of the side
// (digital silence left aside: an edited file may hold zeros where a record holds noise); the
// threshold lies between the floor and the music, kMinimumMarginDb..kMaximumMarginDb above the
// floor. A side of nothing but digital silence has its floor at kSilenceDb.
NoiseFloor estimateNoiseFloor(std::span<const float> smoothedLevels);

inline constexpr float kFloorSpreadDb = 3.0f;
inline constexpr float kMinimumMarginDb = 5.0f;
inline constexpr float kMaximumMarginDb = 12.0f;
// The share of the side's windows below the percentile the floor is refined from.
inline constexpr double kFloorPercentile = 0.003;

}
