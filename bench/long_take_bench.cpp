// What Stop costs after an hour of recording: the raw take maximise (peak scan, then the
// in-place rewrite), the peak cache build and the first paint of the view, on a generated
// 60-minute music-like take of 635 MB in the page cache.
//
// Baseline measured on the development machine: page-cache reads about 11 GB/s, in-place
// read-and-write about 5 GB/s, per-sample maximise arithmetic near 2 GB/s. Targets: peak scan
// >= 4 GB/s, maximise rewrite >= 1.5 GB/s, peak cache build >= 1.5 GB/s, the whole stop
// processing of the hour under 1.5 s. "peak_rss_mb" is the process's memory peak: the take is
// never held in memory whole.
//
// Stop's maximise survives a kill or a power loss at any moment. Where the disk has room it writes
// the maximised take beside the recording and renames it over it (635 MB written and synced once
// for the hour): BesideMaximise and StopProcessing. Where it has not, it is journaled: every
// window's original bytes go to the journal and both the journal and the rewritten window reach
// the disk before the next window (1.27 GB written and synced): JournaledMaximise. Both are bound
// by the disk's write speed; MaximiseRewrite is the bare in-place pass. Peers: PeerReadTake (the
// take read and nothing done, beside the peak cache build) and PeerCopyTakeSynced (a synced copy
// of the take, beside Stop). The CPU column is the processor time of the benchmark's thread beside
// the wall time.

#include "audio/capture_engine.h"
#include "take/peak_cache.h"
#include "take/raw_take_maximise.h"
#include "widgets/waveform_view.h"


#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace wavelark;

constexpr std::size_t kFrames = 60ull * 60 * 44100;
constexpr std::size_t kTakeBytes = kFrames * 4;

struct LongTake {
    QTemporaryDir folder;
    std::string path;
    QString cachePath;

    LongTake()
    {
        path = QDir(folder.path()).filePath(QStringLiteral("recording.raw")).toStdString();
        cachePath = QDir(folder.path()).filePath(QStringLiteral("wd.dat"));
        // Four seconds of chords and noise under a slow envelope, repeated with a changing level.
        constexpr std::size_t kPatternFrames = 4 * 44100;
        std::vector<int16_t> pattern(kPatternFrames * 2);
        uint32_t noise = 1;
        for (std::size_t frame = 0; frame < kPatternFrames; ++frame) {
            const double time = frame / 44100.0;
            noise = noise * 1664525u + 1013904223u;
            const double value = 9000.0 * std::sin(2 * M_PI * 220 * time) + 5000.0 * std::sin(2 * M_PI * 277.2 * time)
                                 + 3000.0 * std::sin(2 * M_PI * 329.6 * time) + static_cast<int32_t>(noise >> 20) - 2048;
            const double envelope = 0.55 + 0.45 * std::sin(2 * M_PI * 0.25 * time);
            pattern[frame * 2] = static_cast<int16_t>(value * envelope);
            pattern[frame * 2 + 1] = static_cast<int16_t>(-0.8 * value * envelope);
        }
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::vector<int16_t> block(pattern.size());
        for (std::size_t written = 0, round = 0; written < kFrames; written += kPatternFrames, ++round) {
            const double level = 0.4 + 0.15 * (round % 5);
            for (std::size_t index = 0; index < pattern.size(); ++index)
                block[index] = static_cast<int16_t>(pattern[index] * level);
            const std::size_t frames = std::min(kPatternFrames, kFrames - written);
            std::fwrite(block.data(), 4, frames, file);
        }
        std::fclose(file);
    }
};

LongTake& longTake()
{
    static LongTake take;
    return take;
}

class IdleHost : public WaveformHost {
public:
    bool selectionAllowed() const override { return true; }
    bool recording() const override { return false; }
    double recordingSeconds() const override { return 0.0; }
    bool playing() const override { return false; }
    double playCursor() const override { return 0.0; }
    void setPlayCursor(double) override {}
    void stopPlaying() override {}
    void playSelection(bool) override {}
    uint32_t takeLength() const override { return static_cast<uint32_t>(kTakeBytes); }
    void setStatusText(const QString&) override {}
    void selectionDrawn(uint32_t, uint32_t) override {}
    bool zoomedColumns(uint64_t, double, int, std::vector<Column>&) override { return false; }
    bool moveTrackMarker(std::size_t, uint64_t) override { return false; }
    bool addTrackMarker(uint64_t) override { return false; }
    bool removeTrackMarker(std::size_t) override { return false; }
    void playFromFrame(uint64_t) override {}
};

void reportMemory(benchmark::State& state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = usage.ru_maxrss / 1024.0;
}

// A recording leaves its take on the disk (it is synced every two seconds of audio): so does
// the benchmark before it times Stop, instead of leaving the rewrites above to be flushed there.
void syncTake()
{
    const int descriptor = ::open(longTake().path.c_str(), O_RDONLY);
    ::fdatasync(descriptor);
    ::close(descriptor);
}

void PeakScan(benchmark::State& state)
{
    PcmRegion region;
    region.openForRewrite(longTake().path, 0, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(scanPeak(region, {}).value_or(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTakeBytes));
    reportMemory(state);
}

void MaximiseRewrite(benchmark::State& state)
{
    PcmRegion region;
    region.openForRewrite(longTake().path, 0, 0);
    // After the first pass the take is full scale; the gain stays just above 1 and the work the same.
    const double gain = 32767.0 / std::max<int16_t>(1, scanPeak(region, {}).value_or(0));
    for (auto _ : state)
        rewriteBlocks(region, [gain](int16_t* samples, std::size_t count) { maximiseSamples(samples, count, gain); }, {});
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTakeBytes));
    reportMemory(state);
}

// The peak cache build's peer: the take read in 1 MiB blocks and nothing else, the fastest any
// reader of the page cache gets through it.
void PeerReadTake(benchmark::State& state)
{
    std::vector<char> block(1 << 20);
    for (auto _ : state) {
        const int descriptor = ::open(longTake().path.c_str(), O_RDONLY);
        while (::read(descriptor, block.data(), block.size()) > 0)
            benchmark::DoNotOptimize(block.data());
        ::close(descriptor);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTakeBytes));
}

void PeakCacheBuild(benchmark::State& state)
{
    QImage image(555, 115, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        benchmark::DoNotOptimize(buildPeakCache(QString::fromStdString(longTake().path), longTake().cachePath, image));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTakeBytes));
    reportMemory(state);
}

// Times iteration as Stop runs it, from a take already on the disk.
template <typename Iteration>
void timeStop(benchmark::State& state, Iteration iteration)
{
    syncTake();
    for (auto _ : state)
        iteration();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTakeBytes));
    reportMemory(state);
}

// The maximise where the disk has no room for a copy: journaled, each window synced to the disk.
void JournaledMaximise(benchmark::State& state)
{
    timeStop(state, [] {
        benchmark::DoNotOptimize(maximiseRawTake(longTake().path, {}, {}, {}, kPcmBlockSize, MaximiseWay::Journaled));
    });
}

// Stop's peer: a copy of the take written beside it in 1 MiB blocks and forced to the disk, what
// the disk allows any maximise that must survive a power loss (the maximise beside writes as much).
void PeerCopyTakeSynced(benchmark::State& state)
{
    const std::string copyPath = longTake().path + ".copy";
    std::vector<char> block(1 << 20);
    timeStop(state, [&] {
        const int source = ::open(longTake().path.c_str(), O_RDONLY);
        const int copy = ::open(copyPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t count = 0;
        while ((count = ::read(source, block.data(), block.size())) > 0)
            if (::write(copy, block.data(), static_cast<std::size_t>(count)) != count)
                std::abort();
        ::fdatasync(copy);
        ::close(copy);
        ::close(source);
    });
    ::unlink(copyPath.c_str());
}

// The maximise as Stop runs it with room on the disk: the copy beside, synced and renamed over.
void BesideMaximise(benchmark::State& state)
{
    timeStop(state, [] { benchmark::DoNotOptimize(maximiseRawTake(longTake().path)); });
}

void StopProcessing(benchmark::State& state)
{
    IdleHost host;
    WaveformView view(host, QRect(0, 0, 555, 115), nullptr);
    timeStop(state, [&] {
        benchmark::DoNotOptimize(maximiseRawTake(longTake().path));
        view.clearWaveform();
        buildPeakCache(QString::fromStdString(longTake().path), longTake().cachePath, view.waveformImage());
        view.drawSelection();
        view.compose();
        benchmark::DoNotOptimize(view.grab());
    });
}

BENCHMARK(PeakScan)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(MaximiseRewrite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PeerReadTake)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PeakCacheBuild)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(JournaledMaximise)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PeerCopyTakeSynced)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BesideMaximise)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(StopProcessing)->Unit(benchmark::kMillisecond)->Iterations(3);

}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    longTake();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
