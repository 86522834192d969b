#include "tracks/break_finder.h"

#include "tracks/side_gaps.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wavelark {

namespace {

// How far a song may be off its sleeve length for the fit to cost as much as one point of
// confidence.
constexpr double kLengthToleranceSeconds = 4.0;
constexpr double kConfidenceWeight = 3.0;
// Where a gap the sleeve promises is looked for when the side shows none.
constexpr double kDipSearchSeconds = 10.0;
// The most candidates the fit considers: the most confident ones.
constexpr std::size_t kMostFitCandidates = 400;

bool byWindow(const GapCandidate& left, const GapCandidate& right) { return left.breakWindow < right.breakWindow; }

// The most confident candidates, at least spacing windows from each other and from the music's
// ends, up to wanted of them, in order.
std::vector<GapCandidate> strongestSpaced(const SideGaps& side, std::vector<GapCandidate> candidates, std::size_t wanted,
                                          std::size_t spacing)
{
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const GapCandidate& left, const GapCandidate& right) { return left.confidence > right.confidence; });
    std::vector<GapCandidate> chosen;
    for (const GapCandidate& candidate : candidates) {
        if (chosen.size() >= wanted)
            break;
        const std::size_t at = candidate.breakWindow;
        if (at < side.musicStart + spacing || at + spacing > side.musicEnd)
            continue;
        const bool clear = std::all_of(chosen.begin(), chosen.end(), [&](const GapCandidate& other) {
            return (at > other.breakWindow ? at - other.breakWindow : other.breakWindow - at) >= spacing;
        });
        if (clear)
            chosen.push_back(candidate);
    }
    std::sort(chosen.begin(), chosen.end(), byWindow);
    return chosen;
}

// Splits the longest tracks at their quietest points until there are wanted breaks or no track
// is long enough to hold two.
void fillWithDips(const SideGaps& side, std::vector<GapCandidate>& chosen, std::size_t wanted, std::size_t spacing)
{
    while (chosen.size() < wanted) {
        std::size_t longestStart = side.musicStart;
        std::size_t longestEnd = side.musicStart;
        std::size_t start = side.musicStart;
        for (std::size_t index = 0; index <= chosen.size(); ++index) {
            const std::size_t end = index < chosen.size() ? chosen[index].breakWindow : side.musicEnd;
            if (end - start > longestEnd - longestStart) {
                longestStart = start;
                longestEnd = end;
            }
            start = end;
        }
        if (longestEnd - longestStart < 2 * spacing + 1)
            return;
        chosen.push_back(quietestPoint(side, longestStart + spacing, longestEnd - spacing));
        std::sort(chosen.begin(), chosen.end(), byWindow);
    }
}

double lengthCost(double windows, double expected)
{
    const double tolerance = double(windowsOf(kLengthToleranceSeconds));
    const double miss = (windows - expected) / tolerance;
    return miss * miss;
}

// The candidates (gaps and, near each break the lengths promise, the quietest point) that fit the
// lengths best; empty when there are fewer candidates than breaks.
std::vector<GapCandidate> fitLengths(const SideGaps& side, const std::vector<double>& lengthsSeconds)
{
    std::vector<GapCandidate> candidates = side.gaps;
    if (candidates.size() > kMostFitCandidates) {
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const GapCandidate& left, const GapCandidate& right) { return left.confidence > right.confidence; });
        candidates.resize(kMostFitCandidates);
    }
    std::vector<double> lengths;
    for (double seconds : lengthsSeconds)
        lengths.push_back(seconds / kLevelWindowSeconds);
    const std::size_t reach = windowsOf(kDipSearchSeconds);
    double expected = double(side.musicStart);
    for (std::size_t song = 0; song + 1 < lengths.size(); ++song) {
        expected += lengths[song];
        const std::size_t centre = std::size_t(std::llround(expected));
        const std::size_t from = std::max(side.musicStart + 1, centre > reach ? centre - reach : 0);
        const std::size_t to = std::min(side.musicEnd, centre + reach);
        if (from < to)
            candidates.push_back(quietestPoint(side, from, to));
    }
    std::sort(candidates.begin(), candidates.end(), byWindow);
    candidates.erase(std::unique(candidates.begin(), candidates.end(),
                                 [](const GapCandidate& left, const GapCandidate& right) {
                                     return left.breakWindow == right.breakWindow;
                                 }),
                     candidates.end());

    const std::size_t breaks = lengths.size() - 1;
    const std::size_t count = candidates.size();
    if (breaks == 0 || count < breaks)
        return {};
    constexpr double kImpossible = std::numeric_limits<double>::infinity();
    // cost[k][j]: the best fit of the first k + 1 songs with break k at candidate j.
    std::vector<std::vector<double>> cost(breaks, std::vector<double>(count, kImpossible));
    std::vector<std::vector<std::size_t>> previous(breaks, std::vector<std::size_t>(count, 0));
    auto position = [&](std::size_t index) { return double(candidates[index].breakWindow); };
    for (std::size_t index = 0; index < count; ++index) {
        cost[0][index] = lengthCost(position(index) - double(side.musicStart), lengths[0])
                         - kConfidenceWeight * candidates[index].confidence;
    }
    for (std::size_t song = 1; song < breaks; ++song) {
        for (std::size_t index = song; index < count; ++index) {
            for (std::size_t before = song - 1; before < index; ++before) {
                if (cost[song - 1][before] == kImpossible)
                    continue;
                const double total = cost[song - 1][before] + lengthCost(position(index) - position(before), lengths[song])
                                     - kConfidenceWeight * candidates[index].confidence;
                if (total < cost[song][index]) {
                    cost[song][index] = total;
                    previous[song][index] = before;
                }
            }
        }
    }
    std::size_t last = count;
    double best = kImpossible;
    for (std::size_t index = 0; index < count; ++index) {
        if (cost[breaks - 1][index] == kImpossible)
            continue;
        const double total = cost[breaks - 1][index] + lengthCost(double(side.musicEnd) - position(index), lengths.back());
        if (total < best) {
            best = total;
            last = index;
        }
    }
    if (last == count)
        return {};
    std::vector<GapCandidate> chosen(breaks);
    for (std::size_t song = breaks; song-- > 0;) {
        chosen[song] = candidates[last];
        last = previous[song][last];
    }
    return chosen;
}

}

TrackProposal proposeTracks(const LevelProfile& profile, const TrackRequest& request)
{
    TrackProposal proposal;
    if (profile.levels.empty() || profile.frames == 0)
        return proposal;
    const SideGaps side = findSideGaps(profile.levels);
    const std::size_t spacing = windowsOf(kShortestTrackSeconds);

    std::vector<GapCandidate> chosen;
    if (request.lengthsSeconds.size() > 1) {
        chosen = fitLengths(side, request.lengthsSeconds);
        if (chosen.empty()) {
            chosen = strongestSpaced(side, side.gaps, request.lengthsSeconds.size() - 1, spacing);
            fillWithDips(side, chosen, request.lengthsSeconds.size() - 1, spacing);
        }
    } else if (request.lengthsSeconds.empty() && request.songs > 0) {
        const std::size_t wanted = std::size_t(request.songs) - 1;
        chosen = strongestSpaced(side, side.gaps, wanted, spacing);
        fillWithDips(side, chosen, wanted, spacing);
    } else if (request.lengthsSeconds.empty()) {
        std::vector<GapCandidate> convincing;
        std::copy_if(side.gaps.begin(), side.gaps.end(), std::back_inserter(convincing),
                     [](const GapCandidate& gap) { return gap.confidence >= kConvincingConfidence; });
        chosen = strongestSpaced(side, convincing, convincing.size(), spacing);
    }

    const uint64_t margin = uint64_t(std::llround(kEdgeMarginSeconds * kTrackSampleRate));
    const uint64_t musicStart = frameOfWindow(side.musicStart);
    const uint64_t start = musicStart > margin ? musicStart - margin : 0;
    const uint64_t end = std::min(profile.frames, frameOfWindow(side.musicEnd) + margin);
    uint64_t trackStart = start;
    for (const GapCandidate& gap : chosen) {
        // The middle of the break's window.
        const uint64_t frame = frameOfWindow(gap.breakWindow) + kLevelWindowFrames / 2;
        if (frame <= trackStart || frame >= end)
            continue;
        proposal.tracks.push_back({trackStart, frame});
        proposal.breaks.push_back({frame, gap.confidence});
        trackStart = frame;
    }
    proposal.tracks.push_back({trackStart, end});
    return proposal;
}

}
