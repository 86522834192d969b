// Plays and records at once through the real backend (PortAudio into a private PulseAudio null
// sink and back from its monitor), as the recorder does, while two busy processes keep both
// cores loaded. For each latency setting (buffer size x 8 buffers) it reports the spacing of the
// wave-out's and the wave-in's callbacks against the buffer period, and the xruns.
//
// Each setting runs WAVELARK_AUDIO_BENCH_SECONDS seconds (default 60).

#include "loaded_sound_server.h"
#include "wave_device.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBufferCount = 8;
// The first second after opening fills the sound system's buffers in a burst; it is not jitter.
constexpr auto kSettle = std::chrono::seconds(1);

double benchSeconds()
{
    const char* text = std::getenv("WAVELARK_AUDIO_BENCH_SECONDS");
    double seconds = text ? std::atof(text) : 60.0;
    return seconds > 0 ? seconds : 60.0;
}

// Callback times of one side, taken on its worker thread.
class CallbackClock {
public:
    explicit CallbackClock(size_t expected) { m_times.reserve(expected); }

    void tick()
    {
        std::lock_guard lock(m_mutex);
        m_times.push_back(Clock::now());
    }

    struct Jitter {
        double maximumMilliseconds = 0.0;
        double deviationMilliseconds = 0.0;
        size_t callbacks = 0;
    };

    // How far the spacing of callbacks after the settling time strays from the period.
    Jitter jitter(Clock::time_point from, double periodMilliseconds)
    {
        std::lock_guard lock(m_mutex);
        Jitter result;
        double sumOfSquares = 0.0;
        size_t intervals = 0;
        for (size_t index = 1; index < m_times.size(); ++index) {
            if (m_times[index - 1] < from)
                continue;
            double spacing = std::chrono::duration<double, std::milli>(m_times[index] - m_times[index - 1]).count();
            double error = spacing - periodMilliseconds;
            result.maximumMilliseconds = std::max(result.maximumMilliseconds, std::abs(error));
            sumOfSquares += error * error;
            ++intervals;
        }
        result.deviationMilliseconds = intervals ? std::sqrt(sumOfSquares / intervals) : 0.0;
        result.callbacks = m_times.size();
        return result;
    }

private:
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_times;
};

void latencySetting(benchmark::State& state)
{
    const auto bufferBytes = static_cast<uint32_t>(state.range(0));
    const double periodMilliseconds = 1000.0 * bufferBytes / (44100.0 * wavelark::audio::kBytesPerFrame);
    const double seconds = benchSeconds();
    const auto expectedCallbacks = static_cast<size_t>(seconds * 1000.0 / periodMilliseconds) + 64;

    for (auto _ : state) {
        std::vector<std::vector<uint8_t>> blocks(2 * kBufferCount, std::vector<uint8_t>(bufferBytes));
        std::vector<wavelark::audio::WaveBuffer> headers(2 * kBufferCount);
        for (size_t index = 0; index < headers.size(); ++index)
            headers[index] = {blocks[index].data(), bufferBytes, 0, nullptr};
        CallbackClock outputClock(expectedCallbacks);
        CallbackClock inputClock(expectedCallbacks);
        std::atomic<bool> running{true};
        std::unique_ptr<wavelark::audio::WaveOut> waveOut;
        std::unique_ptr<wavelark::audio::WaveIn> waveIn;
        std::string error;
        waveIn = wavelark::audio::openWaveIn(-1, 44100, [&](wavelark::audio::WaveBuffer& buffer) {
            inputClock.tick();
            if (running)
                waveIn->addBuffer(&buffer);
        }, &error);
        waveOut = wavelark::audio::openWaveOut(-1, 44100, [&](wavelark::audio::WaveBuffer& buffer) {
            outputClock.tick();
            if (running)
                waveOut->write(&buffer);
        }, &error);
        if (!waveIn || !waveOut) {
            state.SkipWithError(("cannot open the devices: " + error).c_str());
            return;
        }
        for (int index = 0; index < kBufferCount; ++index)
            waveIn->addBuffer(&headers[index]);
        waveIn->start();
        waveOut->write(std::span(headers.data() + kBufferCount, kBufferCount));
        Clock::time_point started = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        wavelark::audio::XrunCounts outputCounts = waveOut->xrunCounts();
        wavelark::audio::XrunCounts inputCounts = waveIn->xrunCounts();
        running = false;
        waveOut->drain();
        waveOut->close();
        waveIn->close();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());

        CallbackClock::Jitter outputJitter = outputClock.jitter(started + kSettle, periodMilliseconds);
        CallbackClock::Jitter inputJitter = inputClock.jitter(started + kSettle, periodMilliseconds);
        state.counters["period_ms"] = periodMilliseconds;
        state.counters["out_jitter_max_ms"] = outputJitter.maximumMilliseconds;
        state.counters["out_jitter_rms_ms"] = outputJitter.deviationMilliseconds;
        state.counters["in_jitter_max_ms"] = inputJitter.maximumMilliseconds;
        state.counters["in_jitter_rms_ms"] = inputJitter.deviationMilliseconds;
        state.counters["out_callbacks"] = static_cast<double>(outputJitter.callbacks);
        state.counters["underruns"] = static_cast<double>(outputCounts.underruns);
        state.counters["overruns"] = static_cast<double>(inputCounts.overruns);
        state.counters["device_underruns"] = static_cast<double>(outputCounts.deviceUnderruns);
        state.counters["device_overruns"] = static_cast<double>(inputCounts.deviceOverruns);
    }
}

BENCHMARK(latencySetting)
    ->ArgName("buffer_bytes")
    ->Arg(2048)->Arg(4096)->Arg(6144)->Arg(8192)->Arg(16384)->Arg(32768)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);


}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    return wavelark::bench::runOnLoadedSoundServer("audio_devices_bench");
}
