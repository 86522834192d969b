// The zoomed waveform view of a 20-minute side (212 MB in the page cache): what a redraw costs
// when the user zooms or scrolls. ZoomedRedraw10ms is the view's whole redraw (the columns read
// from the take, the waveform, the selection and the composed picture) at 8.4 ms a pixel (eight
// steps in), scrolled a page at a time; target well under 50 ms. CoarseRedraw is one step in,
// drawn from the side's summary; SummaryBuild is the one read of the side that the first coarse
// zoom makes. "peak_rss_mb" is the process's memory peak.

#include "take/zoomed_peaks.h"
#include "widgets/waveform_view.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace wavelark;

constexpr uint64_t kFrames = 20ull * 60 * 44100;

struct Side {
    QTemporaryDir folder;
    QString path;

    Side()
    {
        path = QDir(folder.path()).filePath(QStringLiteral("recording.raw"));
        std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
        std::vector<int16_t> block(44100 * 2);
        for (uint64_t written = 0; written < kFrames; written += 44100) {
            for (std::size_t frame = 0; frame < 44100; ++frame) {
                const double value = 12000.0 * std::sin(2 * M_PI * 220 * double(frame) / 44100)
                                     * (0.5 + 0.4 * std::sin(double(written + frame) / 300000.0));
                block[frame * 2] = block[frame * 2 + 1] = static_cast<int16_t>(value);
            }
            std::fwrite(block.data(), 4, 44100, file);
        }
        std::fclose(file);
    }
};

Side& side()
{
    static Side instance;
    return instance;
}

// The session's part for the view: the take's length and its zoomed columns.
class BenchHost : public WaveformHost {
public:
    explicit BenchHost(const QString& path) : m_peaks(path) {}
    bool selectionAllowed() const override { return true; }
    bool recording() const override { return false; }
    double recordingSeconds() const override { return 0.0; }
    bool playing() const override { return false; }
    double playCursor() const override { return 0.0; }
    void setPlayCursor(double) override {}
    void stopPlaying() override {}
    void playSelection(bool) override {}
    uint32_t takeLength() const override { return static_cast<uint32_t>(kFrames * 4); }
    void setStatusText(const QString&) override {}
    void selectionDrawn(uint32_t, uint32_t) override {}
    bool zoomedColumns(uint64_t firstFrame, double framesPerPixel, int width, std::vector<Column>& columns) override
    {
        std::vector<ColumnExtremes> extremes;
        std::string error;
        if (!m_peaks.read(firstFrame, framesPerPixel, width, extremes, &error))
            return false;
        columns.resize(extremes.size());
        for (std::size_t index = 0; index < extremes.size(); ++index)
            columns[index] = Column{extremes[index].maximum, extremes[index].minimum};
        return true;
    }
    bool moveTrackMarker(std::size_t, uint64_t) override { return false; }
    bool addTrackMarker(uint64_t) override { return false; }
    bool removeTrackMarker(std::size_t) override { return false; }
    void playFromFrame(uint64_t) override {}
    ZoomedPeaks& peaks() { return m_peaks; }

private:
    ZoomedPeaks m_peaks;
};

void reportMemory(benchmark::State& state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = double(usage.ru_maxrss) / 1024.0;
}

void scrolledRedraws(benchmark::State& state, int stepsIn)
{
    BenchHost host(side().path);
    WaveformView view(host, QRect(0, 0, 555, 115), nullptr);
    for (int step = 0; step < stepsIn; ++step)
        view.zoomIn();
    view.showTakeStart();
    int position = 0;
    for (auto _ : state) {
        // A page on, or less where the whole range is about a page: every redraw shows new frames.
        position = (position + std::min(view.zoom().pageStep(), view.zoom().scrollRange() / 3 + 1))
                   % std::max(1, view.zoom().scrollRange());
        view.setScrollPosition(position);
        benchmark::DoNotOptimize(view.composedImage().constBits());
    }
    state.counters["ms_per_pixel"] = view.zoom().framesPerPixel() / 44.1;
    reportMemory(state);
}

void ZoomedRedraw10ms(benchmark::State& state)
{
    scrolledRedraws(state, 8);
}

void CoarseRedraw(benchmark::State& state)
{
    scrolledRedraws(state, 1);
}

void SummaryBuild(benchmark::State& state)
{
    for (auto _ : state) {
        BenchHost host(side().path);
        std::vector<WaveformHost::Column> columns;
        benchmark::DoNotOptimize(host.zoomedColumns(0, double(kFrames) / 555 / 2, 555, columns));
    }
    reportMemory(state);
}

BENCHMARK(ZoomedRedraw10ms)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(CoarseRedraw)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(SummaryBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    side();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
