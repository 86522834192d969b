// The conversion chain (ResampleAudioBuffer) against libsamplerate's linear converter on the same
// ten minutes of 16-bit stereo 44100 Hz audio, fed in the same 16384-byte blocks the WAV converter
// reads, with 16-bit stereo out on both sides. Quality figures (THD+N of a 1 kHz tone at -1 dBFS,
// the 7.05 kHz alias of a 15 kHz tone at 44100 -> 22050) are reported as counters.
//
// Linear interpolation has no low-pass filter: at 2:1 a 15 kHz tone comes back as its 7.05 kHz
// alias at nearly full level. The figure is here to show that, not to hide it.
#include "signal_quality.h"
#include "sorvak.h"

#include <benchmark/benchmark.h>
#include <samplerate.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <utility>
#include <vector>

namespace {

constexpr int kSourceRate = 44100;
constexpr size_t kSourceFrames = static_cast<size_t>(kSourceRate) * 600;
constexpr size_t kBlockBytes = 16384;
constexpr size_t kBlockFrames = kBlockBytes / 4;
constexpr size_t kPageBytes = 4096;

struct AlignedFree {
    void operator()(void* memory) const { std::free(memory); }
};

template <typename T>
std::unique_ptr<T[], AlignedFree> pageAligned(size_t count)
{
    size_t bytes = (count * sizeof(T) + kPageBytes - 1) / kPageBytes * kPageBytes;
    return std::unique_ptr<T[], AlignedFree>(static_cast<T*>(std::aligned_alloc(kPageBytes, bytes)));
}

// Music-like test material: three tones and a little noise, both channels different.
const int16_t* programmeMaterial()
{
    static std::unique_ptr<int16_t[], AlignedFree> samples = [] {
        auto memory = pageAligned<int16_t>(kSourceFrames * 2);
        uint32_t noise = 12345;
        for (size_t frame = 0; frame < kSourceFrames; ++frame) {
            double time = static_cast<double>(frame) / kSourceRate;
            noise = noise * 1664525u + 1013904223u;
            double hiss = (static_cast<double>(noise >> 16) - 32768.0) * 0.02;
            double left = 9000.0 * std::sin(2 * std::numbers::pi * 220.0 * time)
                          + 5000.0 * std::sin(2 * std::numbers::pi * 1760.0 * time) + hiss;
            double right = 8000.0 * std::sin(2 * std::numbers::pi * 330.0 * time)
                           + 4000.0 * std::sin(2 * std::numbers::pi * 5000.0 * time) - hiss;
            memory[2 * frame] = static_cast<int16_t>(left);
            memory[2 * frame + 1] = static_cast<int16_t>(right);
        }
        return memory;
    }();
    return samples.get();
}

// A tone at `level` dBFS on both channels.
std::vector<int16_t> tone(double frequency, double level, size_t frames)
{
    std::vector<int16_t> samples(frames * 2);
    double amplitude = 32767.0 * std::pow(10.0, level / 20.0);
    for (size_t frame = 0; frame < frames; ++frame) {
        double phase = std::fmod(static_cast<double>(frame) * frequency, kSourceRate) / kSourceRate;
        auto value = static_cast<int16_t>(std::lrint(amplitude * std::sin(2 * std::numbers::pi * phase)));
        samples[2 * frame] = value;
        samples[2 * frame + 1] = value;
    }
    return samples;
}

WAVEFORMATEX stereo16(int rate)
{
    return WAVEFORMATEX{1, 2, static_cast<uint32_t>(rate), static_cast<uint32_t>(rate) * 4, 4, 16, 0};
}

// Streams `frames` frames through the chain block by block; `sink` sees each output block.
template <typename Sink>
void convertWithChain(const int16_t* samples, size_t frames, int rate, Sink&& sink)
{
    auto block = pageAligned<int16_t>(kBlockFrames * 2);
    WAVEFORMATEX from = stereo16(kSourceRate);
    WAVEFORMATEX to = stereo16(rate);
    ResamplerState state{};
    for (size_t first = 0; first < frames; first += kBlockFrames) {
        size_t count = frames - first < kBlockFrames ? frames - first : kBlockFrames;
        std::memcpy(block.get(), samples + 2 * first, count * 4);
        AudioBuffer in{block.get(), static_cast<uint32_t>(count * 4), 4};
        AudioBuffer out{};
        ResampleAudioBuffer(&in, &out, &from, &to, &state, 1.0, 1.0, rate);
        sink(static_cast<const int16_t*>(out.data), out.size / 4);
        std::free(out.data);
    }
}

// The same with libsamplerate's linear converter: 16-bit to float, convert, float to 16-bit.
template <typename Sink>
void convertWithLibsamplerate(const int16_t* samples, size_t frames, int rate, Sink&& sink)
{
    double ratio = static_cast<double>(rate) / kSourceRate;
    size_t outputCapacity = static_cast<size_t>(kBlockFrames * ratio) + 16;
    auto block = pageAligned<int16_t>(kBlockFrames * 2);
    auto input = pageAligned<float>(kBlockFrames * 2);
    auto output = pageAligned<float>(outputCapacity * 2);
    auto converted = pageAligned<int16_t>(outputCapacity * 2);
    int error = 0;
    SRC_STATE* converter = src_new(SRC_LINEAR, 2, &error);
    for (size_t first = 0; first < frames; first += kBlockFrames) {
        size_t count = frames - first < kBlockFrames ? frames - first : kBlockFrames;
        std::memcpy(block.get(), samples + 2 * first, count * 4);
        src_short_to_float_array(block.get(), input.get(), static_cast<int>(count * 2));
        SRC_DATA data{};
        data.data_in = input.get();
        data.data_out = output.get();
        data.input_frames = static_cast<long>(count);
        data.output_frames = static_cast<long>(outputCapacity);
        data.src_ratio = ratio;
        data.end_of_input = first + count >= frames;
        src_process(converter, &data);
        src_float_to_short_array(output.get(), converted.get(), static_cast<int>(data.output_frames_gen * 2));
        sink(converted.get(), static_cast<size_t>(data.output_frames_gen));
    }
    src_delete(converter);
}

struct Collected {
    std::vector<int16_t> samples;
    void operator()(const int16_t* block, size_t frames) { samples.insert(samples.end(), block, block + frames * 2); }
};

struct Discarded {
    size_t frames = 0;
    void operator()(const int16_t* block, size_t count)
    {
        benchmark::DoNotOptimize(block);
        frames += count;
    }
};

template <typename Convert>
void measureThroughput(benchmark::State& state, Convert convert)
{
    int rate = static_cast<int>(state.range(0));
    const int16_t* samples = programmeMaterial();
    size_t produced = 0;
    for (auto _ : state) {
        Discarded sink;
        convert(samples, kSourceFrames, rate, sink);
        produced = sink.frames;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSourceFrames));
    state.counters["output_frames"] = static_cast<double>(produced);
    state.counters["x_realtime"] =
        benchmark::Counter(600.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void ChainThroughput(benchmark::State& state)
{
    measureThroughput(state, [](auto&&... arguments) { convertWithChain(std::forward<decltype(arguments)>(arguments)...); });
}

void LibsamplerateLinearThroughput(benchmark::State& state)
{
    measureThroughput(state, [](auto&&... arguments) { convertWithLibsamplerate(std::forward<decltype(arguments)>(arguments)...); });
}

template <typename Convert>
void measureQuality(benchmark::State& state, Convert convert)
{
    int rate = static_cast<int>(state.range(0));
    constexpr size_t kToneFrames = kSourceRate * 2;
    std::vector<int16_t> sine = tone(1000.0, -1.0, kToneFrames);
    std::vector<int16_t> high = tone(15000.0, -1.0, kToneFrames);
    Collected sineOut;
    Collected highOut;
    for (auto _ : state) {
        sineOut = Collected{};
        highOut = Collected{};
        convert(sine.data(), kToneFrames, rate, sineOut);
        convert(high.data(), kToneFrames, rate, highOut);
    }
    state.counters["thd_n_1kHz_dB"] = thdPlusNoiseDb(sineOut.samples.data(), sineOut.samples.size() / 2, 2, rate, 1000.0);
    if (rate == 22050) {
        size_t frames = highOut.samples.size() / 2;
        state.counters["alias_7050Hz_of_15kHz_dBFS"] = toneLevelDb(highOut.samples.data(), frames, 2, rate, 7050.0);
        state.counters["input_15kHz_dBFS"] = toneLevelDb(high.data(), kToneFrames, 2, kSourceRate, 15000.0);
    }
}

void ChainQuality(benchmark::State& state)
{
    measureQuality(state, [](auto&&... arguments) { convertWithChain(std::forward<decltype(arguments)>(arguments)...); });
}

void LibsamplerateLinearQuality(benchmark::State& state)
{
    measureQuality(state, [](auto&&... arguments) { convertWithLibsamplerate(std::forward<decltype(arguments)>(arguments)...); });
}

}

BENCHMARK(ChainThroughput)->Arg(22050)->Arg(48000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(LibsamplerateLinearThroughput)->Arg(22050)->Arg(48000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ChainQuality)->Arg(22050)->Arg(48000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LibsamplerateLinearQuality)->Arg(22050)->Arg(48000)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
