#include "tracks/side_gaps.h"

#include "tracks/level_profile.h"

#include <algorithm>
#include <cmath>

namespace wavelark {

namespace {

// A dip is never as sure as a gap near the floor.
constexpr float kDipConfidenceCeiling = 0.3f;

struct Run {
    std::size_t first;
    std::size_t end;
};

// The runs at or under the threshold, bridged across short louder stretches.
std::vector<Run> quietRuns(const std::vector<float>& smoothed, float threshold)
{
    std::vector<Run> runs;
    const std::size_t bridge = windowsOf(kGapBridgeSeconds);
    std::size_t index = 0;
    while (index < smoothed.size()) {
        if (smoothed[index] > threshold) {
            ++index;
            continue;
        }
        std::size_t end = index;
        while (end < smoothed.size() && smoothed[end] <= threshold)
            ++end;
        if (!runs.empty() && index - runs.back().end < bridge)
            runs.back().end = end;
        else
            runs.push_back({index, end});
        index = end;
    }
    return runs;
}

// The mean level of the second around each window, averaged as power.
std::vector<float> secondAverages(std::span<const float> levels)
{
    const std::size_t radius = windowsOf(0.5);
    std::vector<double> sums(levels.size() + 1, 0.0);
    for (std::size_t index = 0; index < levels.size(); ++index)
        sums[index + 1] = sums[index] + std::pow(10.0, levels[index] / 10.0);
    std::vector<float> averages(levels.size());
    for (std::size_t index = 0; index < levels.size(); ++index) {
        const std::size_t first = index >= radius ? index - radius : 0;
        const std::size_t end = std::min(levels.size(), index + radius + 1);
        const double mean = (sums[end] - sums[first]) / double(end - first);
        averages[index] = mean > 1e-12 ? std::max(kSilenceDb, float(10.0 * std::log10(mean))) : kSilenceDb;
    }
    return averages;
}

// The median level of the music on both sides of [first, end), within the music's range.
float surroundingMusic(const SideGaps& side, std::size_t first, std::size_t end)
{
    const std::size_t reach = windowsOf(kSurroundSeconds);
    std::vector<float> around;
    const std::size_t before = first >= side.musicStart + reach ? first - reach : side.musicStart;
    for (std::size_t index = before; index < first; ++index)
        around.push_back(side.smoothedLevels[index]);
    for (std::size_t index = end; index < std::min(side.musicEnd, end + reach); ++index)
        around.push_back(side.smoothedLevels[index]);
    if (around.empty())
        return side.floor.musicDb;
    const auto middle = around.begin() + around.size() / 2;
    std::nth_element(around.begin(), middle, around.end());
    return *middle;
}

// Where the break goes in the part of a run within kFloorSpreadDb of its quietest window: two
// thirds of the way in, as a song's fade-out reaches the floor seconds before it ends, while a
// fade-in, when there is one, is short.
std::size_t breakInRun(std::span<const float> run)
{
    const float quietest = *std::min_element(run.begin(), run.end());
    std::size_t first = 0;
    while (run[first] > quietest + kFloorSpreadDb)
        ++first;
    std::size_t last = run.size() - 1;
    while (run[last] > quietest + kFloorSpreadDb)
        --last;
    return first + (last - first) * 2 / 3;
}

float meanLevel(std::span<const float> levels)
{
    double power = 0;
    for (float level : levels)
        power += std::pow(10.0, level / 10.0);
    const double mean = power / double(std::max<std::size_t>(1, levels.size()));
    return mean > 1e-12 ? float(10.0 * std::log10(mean)) : kSilenceDb;
}

// The level of a run's quietest quarter: the fades into and out of a gap do not lift it.
float quietLevel(std::span<const float> levels)
{
    std::vector<float> sorted(levels.begin(), levels.end());
    const auto quarter = sorted.begin() + sorted.size() / 4;
    std::nth_element(sorted.begin(), quarter, sorted.end());
    return *quarter;
}

}

float gapConfidence(float depthDb, double seconds, float aboveFloorDb)
{
    // A gap sits at the floor (its quietest quarter within a decibel or two of it): a stretch some
    // 6 dB over it is a quiet passage, however long.
    const float nearFloor = std::clamp(1.0f - (aboveFloorDb - 2.0f) / 4.5f, 0.0f, 1.0f);
    // The pause between two sparse notes is short; a gap between songs lasts most of a second.
    const float length = float(std::clamp((seconds - 0.3) / 0.6, 0.0, 1.0));
    const float depth = std::clamp((depthDb - 8.0f) / 17.0f, 0.0f, 1.0f);
    return nearFloor * (0.3f + 0.7f * length) * (0.3f + 0.7f * depth);
}

SideGaps findSideGaps(std::span<const float> levels)
{
    SideGaps side;
    side.smoothedLevels = medianSmooth(levels);
    side.secondLevels = secondAverages(side.smoothedLevels);
    side.floor = estimateNoiseFloor(side.smoothedLevels);
    side.musicEnd = levels.size();
    std::vector<Run> runs = quietRuns(side.smoothedLevels, side.floor.thresholdDb);
    // A side without a floor (one song from end to end) has its threshold among the notes: runs
    // bridged across them are hardly quieter than the music and are no gaps.
    std::erase_if(runs, [&](const Run& run) {
        return side.floor.musicDb - meanLevel(std::span(side.smoothedLevels).subspan(run.first, run.end - run.first))
               < kLeastGapDepthDb;
    });

    // A run with hardly any sound before it is the lead-in; after it, the run-out.
    const std::size_t edgeActivity = windowsOf(kEdgeActivitySeconds);
    if (!runs.empty() && runs.front().first < edgeActivity) {
        side.musicStart = runs.front().end;
        runs.erase(runs.begin());
    }
    if (!runs.empty() && levels.size() - runs.back().end < edgeActivity) {
        side.musicEnd = runs.back().first;
        runs.pop_back();
    }
    if (side.musicStart >= side.musicEnd) {
        // Nothing but the floor: no music to cut.
        side.musicStart = 0;
        side.musicEnd = levels.size();
        return side;
    }

    const std::size_t shortest = windowsOf(kShortestGapSeconds);
    for (const Run& run : runs) {
        if (run.end - run.first < shortest)
            continue;
        GapCandidate gap;
        gap.firstWindow = run.first;
        gap.endWindow = run.end;
        gap.breakWindow = breakInRun(std::span(side.smoothedLevels).subspan(run.first, run.end - run.first)) + run.first;
        gap.levelDb = quietLevel(std::span(side.smoothedLevels).subspan(run.first, run.end - run.first));
        gap.depthDb = surroundingMusic(side, run.first, run.end) - gap.levelDb;
        gap.confidence = gapConfidence(gap.depthDb, double(run.end - run.first) * kLevelWindowSeconds,
                                       gap.levelDb - side.floor.floorDb);
        side.gaps.push_back(gap);
    }
    return side;
}

GapCandidate quietestPoint(const SideGaps& side, std::size_t from, std::size_t to)
{
    const auto quietest = std::min_element(side.secondLevels.begin() + from, side.secondLevels.begin() + to);
    GapCandidate dip;
    dip.dip = true;
    dip.breakWindow = std::size_t(quietest - side.secondLevels.begin());
    dip.firstWindow = dip.breakWindow;
    dip.endWindow = dip.breakWindow + 1;
    dip.levelDb = *quietest;
    dip.depthDb = surroundingMusic(side, dip.firstWindow, dip.endWindow) - dip.levelDb;
    dip.confidence = std::min(kDipConfidenceCeiling,
                              kDipConfidenceCeiling * std::clamp((dip.depthDb - 3.0f) / 20.0f, 0.0f, 1.0f));
    return dip;
}

}
