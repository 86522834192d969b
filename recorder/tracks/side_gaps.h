// The shape of a side read from its level profile: where the music starts after the lead-in
// (needle drop, tape leader), where it ends before the run-out, and the candidate gaps between
// songs with a score each. The break finder chooses among these candidates.
//
// A candidate gap is a run of windows whose smoothed level sits at or under the noise floor's
// threshold (runs split by less than kGapBridgeSeconds of louder material, a click that outlived
// the smoothing or a needle's thump, count as one). Its confidence (0..1) is nothing unless its
// quietest quarter lies near the floor (a quiet passage sits well over it), and grows with its
// depth under the music around it and with its length (a pause between sparse notes is short).
//
// Thread: pure functions and value types, callable from any thread. Memory: three vectors the
// size of the profile.
#pragma once

#include "tracks/noise_floor.h"

#include <cstddef>
#include <span>
#include <vector>

namespace wavelark {

inline constexpr double kGapBridgeSeconds = 0.3;
// The shortest run that is a candidate gap.
inline constexpr double kShortestGapSeconds = 0.25;
// Sounding material shorter than this before the first gap or after the last belongs to the lead-in
// or the run-out.
inline constexpr double kEdgeActivitySeconds = 1.0;
// A run must lie this far under the side's median level to be a gap, a lead-in or a run-out.
inline constexpr float kLeastGapDepthDb = 10.0f;
// The music around a gap that its depth is measured against, on each side.
inline constexpr double kSurroundSeconds = 5.0;

struct GapCandidate {
    std::size_t firstWindow = 0; // the run's windows: [firstWindow, endWindow)
    std::size_t endWindow = 0;
    std::size_t breakWindow = 0; // where the break goes: two thirds into the run's quietest part, or a dip's quietest window
    float levelDb = 0;           // the level of the run's quietest quarter
    float depthDb = 0;           // the music around it minus levelDb
    float confidence = 0;        // 0..1
    bool dip = false;            // no run near the floor: the quietest point of a stretch
};

struct SideGaps {
    NoiseFloor floor;
    std::size_t musicStart = 0;         // the first window after the lead-in
    std::size_t musicEnd = 0;           // the first window of the run-out (or the profile's end)
    std::vector<GapCandidate> gaps;     // inside (musicStart, musicEnd), in order
    std::vector<float> smoothedLevels;  // the profile after medianSmooth
    std::vector<float> secondLevels;    // the mean level of the second around each window
};

// Reads the side's shape from its profile (levels in dB per window). A profile with no music
// (everything near the floor) has musicStart 0, musicEnd at its end and no gaps.
SideGaps findSideGaps(std::span<const float> levels);

// The quietest point (of secondLevels) in the windows [from, to) as a dip candidate, with a low
// confidence from its depth; from < to, both within the profile.
GapCandidate quietestPoint(const SideGaps& side, std::size_t from, std::size_t to);

// The confidence of a gap of the given depth, length and level above the floor.
float gapConfidence(float depthDb, double seconds, float aboveFloorDb);

}
