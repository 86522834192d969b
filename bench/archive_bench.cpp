// The archive list's refresh over a folder of 1,000 files: 334 WAV, 333 MP3 and 333 WMA takes of
// five seconds (made once by ffmpeg and lame, then copied; names in mixed case), in the page
// cache. The list is shown on the offscreen platform, so it paints while it fills.
//
// Reported per refresh: the time (target: under 1 s), "listed" (files in the list afterwards),
// "longest_gap_ms" (the longest time the window's event loop went without a turn during the
// refresh: what a user would feel as a frozen window) and "paints" (the list's repaints during
// it). DurationsOnly is the toolkit's GetWMADuration over the same files, the share of the
// refresh that reads the files' headers.

#include "archive/archive_list.h"
#include "core/toolkit_binding.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace wavelark;
namespace fs = std::filesystem;

constexpr int kFiles = 1000;

bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

struct ArchiveFolder {
    QTemporaryDir root;
    fs::path folder;
    std::vector<std::string> paths;

    ArchiveFolder()
    {
        const fs::path base = root.path().toStdString();
        folder = base / "archive";
        fs::create_directories(folder);
        const fs::path wav = base / "source.wav", mp3 = base / "source.mp3", wma = base / "source.wma";
        if (!run("ffmpeg -nostdin -y -f lavfi -i sine=frequency=440:duration=5 -ac 2 -ar 44100 '" + wav.string() + "'")
            || !run("lame --quiet -b 128 '" + wav.string() + "' '" + mp3.string() + "'")
            || !run("ffmpeg -nostdin -y -i '" + wav.string() + "' -c:a wmav2 -b:a 128k '" + wma.string() + "'")) {
            std::fprintf(stderr, "archive_bench: ffmpeg and lame are needed to make the files\n");
            std::exit(1);
        }
        const fs::path sources[] = {wav, mp3, wma};
        const char* extensions[] = {".wav", ".mp3", ".wma", ".WAV", ".Mp3", ".WMA"};
        for (int index = 0; index < kFiles; ++index) {
            char name[64];
            std::snprintf(name, sizeof name, "Take %04d%s", index, extensions[index % 3 + (index % 7 == 0 ? 3 : 0)]);
            fs::copy_file(sources[index % 3], folder / name);
            paths.push_back((folder / name).string());
        }
    }
};

ArchiveFolder& archiveFolder()
{
    static ArchiveFolder folder;
    return folder;
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void Refresh(benchmark::State& state)
{
    ArchiveList list(QFont(QStringLiteral("verdana")), QRect(0, 0, 555, 130), nullptr);
    list.show();
    QApplication::processEvents();
    PaintCounter counter;
    list.viewport()->installEventFilter(&counter);
    // A zero-interval timer runs at every turn of the event loop.
    QElapsedTimer sinceTurn;
    qint64 longestGap = 0;
    QTimer turns;
    QObject::connect(&turns, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTurn.elapsed());
        sinceTurn.restart();
    });
    const QString folder = QString::fromStdString(archiveFolder().folder.string() + "/");
    for (auto _ : state) {
        counter.paints = 0;
        longestGap = 0;
        turns.start(0);
        sinceTurn.start();
        benchmark::DoNotOptimize(list.refresh(folder));
        longestGap = std::max(longestGap, sinceTurn.elapsed());
        turns.stop();
    }
    state.counters["listed"] = list.topLevelItemCount();
    state.counters["longest_gap_ms"] = static_cast<double>(longestGap);
    state.counters["paints"] = counter.paints;
}

void DurationsOnly(benchmark::State& state)
{
    for (auto _ : state) {
        for (const std::string& path : archiveFolder().paths)
            benchmark::DoNotOptimize(g_toolkit.GetWMADuration(path.c_str()));
    }
    state.counters["files"] = kFiles;
}

BENCHMARK(Refresh)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(DurationsOnly)->Unit(benchmark::kMillisecond)->Iterations(5);

}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const ToolkitBindResult bound = bindToolkit(WAVELARK_TOOLKIT_PATH);
    if (!bound.ok()) {
        std::fprintf(stderr, "archive_bench: the toolkit could not be bound: %s\n", qPrintable(bound.loadError));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    archiveFolder();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
