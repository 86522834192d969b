// Importing an hour recorded elsewhere: a 60-minute 48 kHz 24-bit stereo WAV (1.04 GB, made once
// by sox, in the page cache), converted to the take and then maximised and drawn, beside its peer
// in the same run.
//
//   PeerSoxImport   `sox in.wav -r 44100 -b 16 out.wav` + raw take maximise + peak cache
//   ImportWav48k24  import (decode, dither, polyphase to 44100 Hz) + maximise + peak cache
//                                                                      target <= 1.3 x peer
//
// "peer_ratio" is this run's wall time over the peer's, "peer_cpu_ratio" the same for the
// processor time of the process and the commands it ran (steadier on a shared machine).
//
// Measured on the development machine (2 cores shared with other builds, RelWithDebInfo): at
// load 6 to 7, sox and the rest 10.9 s of wall time and 10.9 s of processor time, the import and
// the rest 4.9 s and 4.5 s: 0.45 x in time, 0.42 x in processor time (at load 11 to 15, with
// a library call per sample to round: 0.74 x and 0.47 x).

#include "take/peak_cache.h"
#include "take/raw_take_maximise.h"
#include "take/take_import.h"

#include "core/toolkit_binding.h"

#include "peer_timing.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace wavelark;

struct Hour {
    QTemporaryDir folder;
    std::string source = path("hour-48k-24.wav");
    std::string take = path("recording.raw");
    std::string cache = path("wd.dat");

    std::string path(const char* name) const { return (std::filesystem::path(folder.path().toStdString()) / name).string(); }

    Hour()
    {
        // A tone on each side, 220 Hz and 331 Hz: neither the dither nor the converter meets silence.
        run("sox -n -r 48000 -b 24 -c 2 '" + source + "' synth 3600 sine 220 sine 331 vol 0.7");
    }

    static void run(const std::string& command)
    {
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            std::exit(1);
        }
    }
};

Hour& hour()
{
    static Hour instance;
    return instance;
}

template <typename Body>
void timed(benchmark::State& state, bool isPeer, Body body)
{
    bench::timedBesidePeer(state, "sox", isPeer, body);
}

void maximiseAndDraw()
{
    maximiseRawTake(hour().take, {}, {});
    QImage image(555, 115, QImage::Format_RGB32);
    image.fill(Qt::white);
    buildPeakCache(QString::fromStdString(hour().take), QString::fromStdString(hour().cache), image);
}

void PeerSoxImport(benchmark::State& state)
{
    timed(state, true, [] {
        Hour::run("sox '" + hour().source + "' -r 44100 -b 16 '" + hour().take + ".wav'");
        std::filesystem::rename(hour().take + ".wav", hour().take);
        maximiseAndDraw();
    });
}

void ImportWav48k24(benchmark::State& state)
{
    timed(state, false, [] {
        const ImportResult result = importIntoTake(hour().source, hour().take, {}, nullptr);
        if (!result.ok()) {
            std::fprintf(stderr, "%s\n", result.message.c_str());
            std::exit(1);
        }
        maximiseAndDraw();
    });
}

BENCHMARK(PeerSoxImport)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(ImportWav48k24)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    return wavelark::bench::runWithToolkit(argc, argv, [] { hour(); });
}
