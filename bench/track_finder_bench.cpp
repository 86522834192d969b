// The break finder's accuracy over a generated corpus of 24 record and tape sides (4 to 7 songs of
// two to four minutes each: chords, noise bursts on the beat, fades, quiet passages; crackle,
// rumble, 50 and 60 Hz hum, hiss; gaps of 0.8 to 4 s; lead-ins and run-outs), asked three ways:
// nothing, the number of songs, and the sleeve's song lengths (whole seconds, up to 2.5 s off
// each). A true break counts as placed within 0.5 s (or 1 s) when a proposed break lies inside
// its gap or that close to it; each proposed break answers for one true break at most; a
// proposed break within 1 s of no true break is false, a true break with none within 1 s missed.
// Targets: with N given at least 95 % within 0.5 s, with lengths at least 98 %, with nothing at
// least 85 % and at most 5 % false breaks.
//
// Then the proposal of a 20-minute side from its raw take on disk (212 MB, in the page cache):
// one read and the finder, target under 1 s and 50 MB ("peak_rss_mb" is the process's peak).

#include "tracks/break_finder.h"

#include "track_corpus.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace wavelark;

struct Tally {
    std::size_t trueBreaks = 0;
    std::size_t proposed = 0;
    std::size_t withinHalf = 0;
    std::size_t withinOne = 0;
    std::size_t falseBreaks = 0;
    std::size_t missed = 0;
};

// The distance in seconds from a frame to a gap (0 inside it).
double distanceToGap(uint64_t frame, const corpus::GapTruth& gap)
{
    if (frame < gap.startFrame)
        return double(gap.startFrame - frame) / kTrackSampleRate;
    if (frame > gap.endFrame)
        return double(frame - gap.endFrame) / kTrackSampleRate;
    return 0.0;
}

void score(const corpus::SidePlan& plan, const TrackProposal& proposal, Tally& tally)
{
    tally.trueBreaks += plan.gaps.size();
    tally.proposed += proposal.breaks.size();
    std::vector<bool> used(proposal.breaks.size(), false);
    for (const corpus::GapTruth& gap : plan.gaps) {
        std::size_t nearest = proposal.breaks.size();
        double nearestDistance = 1e9;
        for (std::size_t index = 0; index < proposal.breaks.size(); ++index) {
            const double distance = distanceToGap(proposal.breaks[index].frame, gap);
            if (!used[index] && distance < nearestDistance) {
                nearest = index;
                nearestDistance = distance;
            }
        }
        if (nearest == proposal.breaks.size() || nearestDistance > 1.0) {
            ++tally.missed;
            continue;
        }
        used[nearest] = true;
        ++tally.withinOne;
        if (nearestDistance <= 0.5)
            ++tally.withinHalf;
    }
    for (bool answered : used)
        tally.falseBreaks += answered ? 0 : 1;
}

LevelProfile profileOf(const corpus::SidePlan& plan)
{
    corpus::SideRenderer renderer(plan);
    LevelMeter meter;
    std::vector<int16_t> block(65536 * 2);
    while (const std::size_t frames = renderer.render(block))
        meter.add(std::span(block).first(frames * 2));
    return meter.finish();
}

void reportAccuracy()
{
    const std::vector<corpus::SideRecipe> recipes = corpus::corpusRecipes(24, 120, 240);
    const char* names[3] = {"nothing given", "N songs given", "lengths given"};
    Tally tallies[3];
    double minutes = 0;
    for (const corpus::SideRecipe& recipe : recipes) {
        const corpus::SidePlan plan = corpus::planSide(recipe);
        minutes += double(plan.frames) / kTrackSampleRate / 60.0;
        const LevelProfile profile = profileOf(plan);
        const TrackRequest requests[3] = {{}, {recipe.songs, {}}, {0, plan.sleeveSeconds}};
        for (int way = 0; way < 3; ++way) {
            Tally side;
            score(plan, proposeTracks(profile, requests[way]), side);
            if (side.missed + side.falseBreaks + (side.withinOne - side.withinHalf) > 0) {
                std::printf("  side %llu (%s): %zu missed, %zu false, %zu only within 1 s\n",
                            (unsigned long long)recipe.seed, names[way], side.missed, side.falseBreaks,
                            side.withinOne - side.withinHalf);
            }
            Tally& total = tallies[way];
            total.trueBreaks += side.trueBreaks;
            total.proposed += side.proposed;
            total.withinHalf += side.withinHalf;
            total.withinOne += side.withinOne;
            total.falseBreaks += side.falseBreaks;
            total.missed += side.missed;
        }
    }
    std::printf("Break finder accuracy over %zu generated sides (%.0f minutes, %zu true breaks):\n", recipes.size(),
                minutes, tallies[0].trueBreaks);
    std::printf("  %-14s %12s %10s %14s %8s\n", "asked", "within 0.5 s", "within 1 s", "false breaks", "missed");
    for (int way = 0; way < 3; ++way) {
        const Tally& tally = tallies[way];
        const double share = 100.0 / double(tally.trueBreaks);
        std::printf("  %-14s %11.1f%% %9.1f%% %5zu (%4.1f%%) %8zu\n", names[way], tally.withinHalf * share,
                    tally.withinOne * share, tally.falseBreaks,
                    tally.proposed ? 100.0 * double(tally.falseBreaks) / double(tally.proposed) : 0.0, tally.missed);
    }
    std::fflush(stdout);
}

// A 20-minute side as a raw take in the temporary folder, written once.
const std::string& twentyMinuteTake()
{
    static const std::string path = [] {
        corpus::SideRecipe recipe;
        recipe.seed = 2026;
        recipe.songs = 5;
        recipe.shortestSongSeconds = 234;
        recipe.longestSongSeconds = 234;
        recipe.leadInSeconds = 2;
        recipe.runOutSeconds = 15;
        const corpus::SidePlan plan = corpus::planSide(recipe);
        const std::string file = (std::filesystem::temp_directory_path() / "wavelark-track-finder-bench.raw").string();
        if (!corpus::writeSide(plan, file, false)) {
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
            std::exit(1);
        }
        return file;
    }();
    return path;
}

void ProposeTwentyMinuteSide(benchmark::State& state)
{
    const std::string& path = twentyMinuteTake();
    std::size_t tracks = 0;
    for (auto _ : state) {
        PcmRegion region;
        std::string error;
        if (!region.openForReading(path, 0, 0, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        const std::optional<LevelProfile> profile = readLevelProfile(region, &error);
        if (!profile) {
            state.SkipWithError(error.c_str());
            return;
        }
        tracks = proposeTracks(*profile).tracks.size();
        benchmark::DoNotOptimize(tracks);
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = double(usage.ru_maxrss) / 1024.0;
    state.counters["tracks"] = double(tracks);
}

BENCHMARK(ProposeTwentyMinuteSide)->Unit(benchmark::kMillisecond)->Iterations(3);

}

int main(int argc, char** argv)
{
    reportAccuracy();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove(twentyMinuteTake());
    return 0;
}
