// Save Tracks against lame, side by side in one run, on a generated 20-minute side of five songs
// (bench/track_corpus.h):
//
//   PeerLameWholeSide   `lame -b 256 --cbr -m s --nores -q 3` encoding the whole side's WAV on
//                       one core (the toolkit's encoder settings)
//   BatchMp3High        the five tracks as MP3 HIGH with their tags through the track encoder
//                       pool on every core (copy, fade and side-gain pass, tagged encoding),
//                       each read back and renamed into place as Save Tracks does
//                       target <= 0.65 x peer
//
// "peer_ratio" is the batch's wall-clock time over lame's, "peer_cpu_ratio" the same for the
// processor time of the process and the commands it ran. On a machine shared with other work
// the wall clock says little about the cores: "idle_ratio" is the time the batch would take
// with a core per worker (the busiest worker's processor time, the tracks dealt out longest
// first as the pool does) over lame's processor time.

#include "track_corpus.h"

#include "take/conversion_stages.h"
#include "take/track_encoder_pool.h"

#include "core/file_toolbox.h"
#include "core/toolkit_binding.h"

#include "peer_timing.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <algorithm>
#include <thread>
#include <vector>

namespace {

using namespace wavelark;

struct Side {
    QTemporaryDir folder;
    corpus::SidePlan plan;
    std::string take;
    std::string wav;
    std::vector<SaveRange> tracks;

    std::string path(const std::string& name) const { return (std::filesystem::path(folder.path().toStdString()) / name).string(); }

    Side()
        : take(path("recording.raw"))
        , wav(path("side.wav"))
    {
        corpus::SideRecipe recipe;
        recipe.seed = 20;
        recipe.songs = 5;
        recipe.shortestSongSeconds = 228;
        recipe.longestSongSeconds = 246;
        plan = corpus::planSide(recipe);
        if (!corpus::writeSide(plan, take, false) || !corpus::writeSide(plan, wav, true)) {
            std::fprintf(stderr, "the side could not be written\n");
            std::exit(1);
        }
        // Each track from its song's start to the next one's, the last to its song's end.
        for (std::size_t song = 0; song < plan.songs.size(); ++song) {
            const uint64_t end = song + 1 < plan.songs.size() ? plan.songs[song + 1].startFrame : plan.songs[song].endFrame;
            tracks.push_back(SaveRange{static_cast<uint32_t>(plan.songs[song].startFrame * 4), static_cast<uint32_t>(end * 4)});
        }
        std::fprintf(stderr, "side: %.1f minutes, %zu tracks\n", plan.frames / 44100.0 / 60.0, tracks.size());
    }
};

Side& side()
{
    static Side instance;
    return instance;
}

double g_busiestWorkerSeconds = 0.0;

template <typename Body>
void timed(benchmark::State& state, bool isPeer, Body body)
{
    bench::timedBesidePeer(state, "lame", isPeer, body);
    const auto peer = bench::peerTimes().find("lame");
    if (!isPeer && peer != bench::peerTimes().end() && g_busiestWorkerSeconds > 0)
        state.counters["idle_ratio"] = g_busiestWorkerSeconds / peer->second.cpuSeconds;
}

void PeerLameWholeSide(benchmark::State& state)
{
    timed(state, true, [] {
        const std::string command = "lame --quiet -b 256 --cbr -m s --nores -q 3 '" + side().wav + "' '"
                                    + side().path("peer.mp3") + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            std::exit(1);
        }
    });
}

void BatchMp3High(benchmark::State& state)
{
    const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    state.counters["workers"] = workers;
    timed(state, false, [workers] {
        std::vector<TrackEncodingJob> jobs;
        for (std::size_t index = 0; index < side().tracks.size(); ++index) {
            TrackEncodingJob job;
            job.takePath = side().take;
            job.temporaryPath = side().path("temp-" + std::to_string(index + 1) + ".wav");
            job.shownPath = side().path("0" + std::to_string(index + 1) + " Track.mp3");
            job.sidePath = sidePathOf(job.shownPath);
            job.range = side().tracks[index];
            job.fades = FadeSettings{true, 30, true, 30, false};
            job.gain = 1.2;
            job.title = "Track " + std::to_string(index + 1);
            job.artist = "Artist";
            job.album = "Album";
            job.year = "1979";
            job.trackNumber = static_cast<int>(index + 1);
            job.trackCount = static_cast<int>(side().tracks.size());
            jobs.push_back(std::move(job));
        }
        TrackEncoderPool pool(std::move(jobs), workers);
        std::size_t placed = 0;
        while (placed < pool.size()) {
            for (const std::size_t index : pool.takeFinished(std::chrono::milliseconds(30))) {
                const TrackEncodingJob& job = pool.job(index);
                SaveResult result = pool.result(index);
                if (result.ok())
                    result = checkSideFile(job.sidePath, job.shownPath, job.format, job.quality, job.range.bytes());
                if (!result.ok() || moveIntoPlace(job.sidePath, job.shownPath)) {
                    std::fprintf(stderr, "track %zu failed: %s\n", index + 1, result.message.c_str());
                    std::exit(1);
                }
                ++placed;
            }
        }
        // Each worker takes the next job as it finishes one, the longest first.
        std::vector<std::size_t> order(pool.size());
        for (std::size_t index = 0; index < order.size(); ++index)
            order[index] = index;
        std::stable_sort(order.begin(), order.end(), [&pool](std::size_t first, std::size_t second) {
            return pool.job(first).range.bytes() > pool.job(second).range.bytes();
        });
        std::vector<double> busy(workers, 0.0);
        for (const std::size_t index : order)
            *std::min_element(busy.begin(), busy.end()) += pool.processorSeconds(index);
        g_busiestWorkerSeconds = *std::max_element(busy.begin(), busy.end());
    });
}

BENCHMARK(PeerLameWholeSide)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BatchMp3High)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    return wavelark::bench::runWithToolkit(argc, argv, [] { side(); });
}
