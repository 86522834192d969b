// A long recording through the recorder's capture engine and the real PortAudio path, from a
// private PulseAudio null sink whose monitor carries a ramp (frame n: the low 16 bits of n on the
// left, the high 16 bits on the right), while two busy processes keep both cores loaded. Run once
// with the take forced to stable storage every two seconds of audio and once without. Reports
// the frames the recording lost or repeated (the ramp read back from the take), the recording's
// xruns, the playing side's gaps apart (they are the feed's, not the recording's), the process's
// CPU time per minute of audio, and the longest stall of the capture worker (the longest gap
// between two appended buffers, less the buffer period).
//
// Each run lasts WAVELARK_RECORDING_BENCH_SECONDS seconds (default 600).

#include "loaded_sound_server.h"

#include "audio/capture_engine.h"
#include "audio/capture_scaling.h"
#include "audio/monitor_fifo.h"
#include "audio/take_file.h"

#include "wave_device.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kBufferBytes = 8192;
constexpr int kBufferCount = 8;

double benchSeconds()
{
    const char* text = std::getenv("WAVELARK_RECORDING_BENCH_SECONDS");
    const double seconds = text ? std::atof(text) : 600.0;
    return seconds > 0 ? seconds : 600.0;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The take's frames against the ramp through the capture's scaling at unit gain. Silent frames
// are gaps of the playing side (its own underruns insert silence into the sink, after which the
// ramp goes on with its next frame) and are counted apart; a recorded frame that is not the one
// after its predecessor is a frame the recording lost or repeated.
struct RampCheck {
    uint64_t frames = 0;
    uint64_t silent = 0;
    uint64_t wrong = 0;
};

bool isRampFrame(const int16_t* frame, uint32_t number)
{
    return frame[0] == wavelark::scaledSample(static_cast<int16_t>(number & 0xFFFF), 1.0)
           && frame[1] == wavelark::scaledSample(static_cast<int16_t>(number >> 16), 1.0);
}

RampCheck checkRamp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    const std::size_t frames = samples.size() / 2;
    auto silent = [&](std::size_t frame) { return samples[2 * frame] == 0 && samples[2 * frame + 1] == 0; };
    std::size_t first = 0;
    while (first < frames && silent(first))
        ++first;
    RampCheck check;
    check.frames = frames - first;
    // The ramp's number at the first recorded frame: the low half from the candidates whose
    // next frames match, the high half from the right channel.
    const uint32_t high = static_cast<uint32_t>(static_cast<uint16_t>(samples[2 * first + 1])) << 16;
    bool found = false;
    uint32_t number = 0;
    for (uint32_t low = 0; low < 65536 && !found && first + 64 < frames; ++low) {
        found = true;
        for (uint32_t step = 0; step < 64 && found; ++step)
            found = samples[2 * (first + step)] == wavelark::scaledSample(static_cast<int16_t>((low + step) & 0xFFFF), 1.0);
        number = high | low;
    }
    if (!found) {
        check.wrong = check.frames;
        return check;
    }
    for (std::size_t frame = first; frame < frames; ++frame) {
        if (silent(frame)) {
            ++check.silent;
            continue;
        }
        if (!isRampFrame(&samples[2 * frame], number)) {
            ++check.wrong;
            // Resynchronise on the recorded frame so that one slip counts once.
            for (uint32_t candidate = number - 8192; candidate != number + 8192; ++candidate) {
                if (isRampFrame(&samples[2 * frame], candidate)) {
                    number = candidate;
                    break;
                }
            }
        }
        ++number;
    }
    return check;
}

void recording(benchmark::State& state)
{
    const bool durable = state.range(0) != 0;
    const double seconds = benchSeconds();
    const std::string take = (std::filesystem::temp_directory_path() / "wavelark-durable-bench.raw").string();
    for (auto _ : state) {
        // The ramp into the sink, from the first buffer on.
        std::atomic<uint32_t> rampFrame{0};
        std::vector<std::vector<uint8_t>> blocks(kBufferCount, std::vector<uint8_t>(kBufferBytes));
        std::vector<wavelark::audio::WaveBuffer> headers(kBufferCount);
        std::atomic<bool> playing{true};
        std::unique_ptr<wavelark::audio::WaveOut> waveOut;
        auto fill = [&](wavelark::audio::WaveBuffer& buffer) {
            auto* samples = reinterpret_cast<int16_t*>(buffer.data);
            for (uint32_t frame = 0; frame < kBufferBytes / 4; ++frame) {
                const uint32_t number = rampFrame++;
                samples[2 * frame] = static_cast<int16_t>(number & 0xFFFF);
                samples[2 * frame + 1] = static_cast<int16_t>(number >> 16);
            }
        };
        std::string error;
        waveOut = wavelark::audio::openWaveOut(-1, 44100, [&](wavelark::audio::WaveBuffer& buffer) {
            if (playing) {
                fill(buffer);
                waveOut->write(&buffer);
            }
        }, &error);
        if (!waveOut) {
            state.SkipWithError(("cannot open the output: " + error).c_str());
            return;
        }

        std::vector<Clock::time_point> appends;
        appends.reserve(static_cast<std::size_t>(seconds * 44100.0 * 4 / kBufferBytes) + 1024);
        wavelark::MonitorFifo monitor;
        wavelark::CaptureEngine engine(
            QString::fromStdString(take), wavelark::DeviceChoice{-1, kBufferBytes, kBufferCount}, monitor,
            wavelark::CaptureEngine::Handlers{[&](double) { appends.push_back(Clock::now()); }, [] {}},
            wavelark::kLargestTake, durable ? wavelark::kSyncInterval : std::numeric_limits<uint64_t>::max());
        QString problem;
        if (engine.start(&problem) != wavelark::CaptureEngine::StartResult::Started) {
            state.SkipWithError(("cannot open the input: " + problem.toStdString()).c_str());
            return;
        }
        QThread::msleep(500);
        const double cpuBefore = cpuSeconds();
        if (!engine.startRecording(&problem)) {
            state.SkipWithError(problem.toStdString().c_str());
            return;
        }
        for (size_t index = 0; index < headers.size(); ++index) {
            headers[index] = {blocks[index].data(), kBufferBytes, 0, nullptr};
            fill(headers[index]);
            waveOut->write(&headers[index]);
        }
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            QCoreApplication::processEvents();
            QThread::msleep(20);
        }
        const wavelark::CaptureEngine::TakeEnding ending = engine.stopRecording();
        QCoreApplication::processEvents();
        const double cpu = cpuSeconds() - cpuBefore;
        const wavelark::audio::XrunCounts playerCounts = waveOut->xrunCounts();
        playing = false;
        engine.stop();
        waveOut->close();

        const double period = 1000.0 * kBufferBytes / (44100.0 * 4);
        double stall = 0.0;
        for (std::size_t index = 1; index < appends.size(); ++index)
            stall = std::max(stall, std::chrono::duration<double, std::milli>(appends[index] - appends[index - 1]).count()
                                        - period);
        const RampCheck check = checkRamp(take);
        state.SetIterationTime(seconds);
        state.counters["durable"] = durable ? 1 : 0;
        state.counters["frames"] = static_cast<double>(check.frames);
        state.counters["frames_lost_or_repeated"] = static_cast<double>(check.wrong);
        state.counters["player_gap_frames"] = static_cast<double>(check.silent);
        state.counters["player_underruns"] = static_cast<double>(playerCounts.total());
        state.counters["dropped_frames"] = static_cast<double>(ending.losses.droppedFrames);
        state.counters["device_overruns"] = static_cast<double>(ending.losses.deviceOverruns);
        state.counters["cpu_s_per_audio_min"] = cpu / (seconds / 60.0);
        state.counters["worst_stall_ms"] = stall;
        std::filesystem::remove(take);
    }
}

BENCHMARK(recording)->ArgName("durable")->Arg(1)->Arg(0)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    return wavelark::bench::runOnLoadedSoundServer("durable_recording_bench");
}
