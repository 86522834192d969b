// The level meters' arithmetic, apart from their drawing: how many of the 26 segments a peak
// lights on each scale, where the dBFS scale's marks sit, the peak-hold segment that falls back
// 1.5 s after it was reached, and the clip lamp that stays lit until it is clicked. Pure: the
// time is given by the caller (the window's clock, or a test's).
#pragma once

#include "core/recorder_choices.h"

#include <array>
#include <cstdint>

namespace wavelark {

inline constexpr int kMeterSegmentCount = 26;

// The dBFS scale: the level at which each segment lights, from the bottom one up. Every 3 dB up to
// -18, every 2 dB to -6, every 1 dB from there to -1, so the range where a level is set gets the
// most segments.
inline constexpr std::array<double, kMeterSegmentCount> kDecibelSegmentLevels = {
    -60, -57, -54, -51, -48, -45, -42, -39, -36, -33, -30, -27, -24,
    -21, -18, -16, -14, -12, -10, -8,  -6,  -5,  -4,  -3,  -2,  -1};
// The levels marked beside the dBFS scale.
inline constexpr std::array<double, 4> kDecibelMarks = {-18, -12, -6, -3};

// The segments a peak (0.0..1.0 of full scale) lights, 0..26: on the linear scale a segment for
// every 26th of full scale (truncated), on the dBFS scale every segment whose level it reaches.
int litSegments(double peak, MeterScale scale);

// The segments below the boundary where the level starts on the dBFS scale (-6 dBFS: 20); -1 when
// no segment starts there.
int segmentsBelowLevel(double decibels);

// How long the peak-hold segment stays where the peak put it.
inline constexpr double kPeakHoldSeconds = 1.5;

class PeakHold {
public:
    // The meter now lights litSegments at time now (seconds on a steady clock). Returns the held
    // segment count: the highest reached in the last kPeakHoldSeconds, falling to the current
    // level once that time has passed without a new high.
    int update(int litSegments, double now);
    int held() const { return m_held; }

private:
    int m_held = 0;
    double m_reachedAt = 0.0;
};

// The clip lamp over a meter: lit by any full-scale input since it was last clicked. It compares
// the count of clipped buffers the capture keeps with the count when the user clicked it.
class ClipLamp {
public:
    bool lit(uint64_t clippedBuffers) const { return clippedBuffers != m_acknowledged; }
    void click(uint64_t clippedBuffers) { m_acknowledged = clippedBuffers; }

private:
    uint64_t m_acknowledged = 0;
};

}
