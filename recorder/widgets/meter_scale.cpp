#include "widgets/meter_scale.h"

#include <algorithm>
#include <cmath>

namespace wavelark {

int litSegments(double peak, MeterScale scale)
{
    peak = std::clamp(peak, 0.0, 1.0);
    if (scale == MeterScale::Linear)
        return static_cast<int>(peak * kMeterSegmentCount);
    if (peak <= 0.0)
        return 0;
    // A hair of tolerance: a peak of exactly -6 dBFS computed in doubles may land a bit below.
    const double decibels = 20.0 * std::log10(peak) + 1e-9;
    return static_cast<int>(std::upper_bound(kDecibelSegmentLevels.begin(), kDecibelSegmentLevels.end(), decibels)
                            - kDecibelSegmentLevels.begin());
}

int segmentsBelowLevel(double decibels)
{
    const auto found = std::find(kDecibelSegmentLevels.begin(), kDecibelSegmentLevels.end(), decibels);
    return found == kDecibelSegmentLevels.end() ? -1 : static_cast<int>(found - kDecibelSegmentLevels.begin());
}

int PeakHold::update(int litSegments, double now)
{
    if (litSegments >= m_held || now - m_reachedAt >= kPeakHoldSeconds) {
        m_held = litSegments;
        m_reachedAt = now;
    }
    return m_held;
}

}
