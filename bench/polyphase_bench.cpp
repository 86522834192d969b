// The polyphase engine against libsoxr and speexdsp: throughput on ten minutes of stereo 44100 Hz
// audio at 44100 -> 22050 and 44100 -> 48000, and the engine's signal quality on test tones.
//
// Every block buffer is page-aligned: on some machines a read from a buffer that starts part way
// into a page runs several times slower, which would measure the allocator, not the converter.
#include <benchmark/benchmark.h>
#include <soxr.h>
#include <speex/speex_resampler.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "signal_quality.h"
#include "sorvak.h"

namespace {

constexpr int kInputRate = 44100;
constexpr int kChannels = 2;
constexpr size_t kBlockFrames = 4096;
constexpr size_t kPage = 4096;

struct FreeDeleter {
    void operator()(void* memory) const { free(memory); }
};
using PageBuffer = std::unique_ptr<int16_t, FreeDeleter>;

PageBuffer pageAlignedSamples(size_t samples)
{
    size_t bytes = (samples * sizeof(int16_t) + kPage - 1) / kPage * kPage;
    auto* memory = static_cast<int16_t*>(aligned_alloc(kPage, bytes));
    if (!memory) {
        std::fprintf(stderr, "out of memory for %zu samples\n", samples);
        std::exit(1);
    }
    return PageBuffer(memory);
}

// Ten minutes of music-like stereo: a few drifting tones and some noise, about -6 dBFS.
const int16_t* tenMinutesOfAudio(size_t& frames)
{
    static size_t audioFrames = size_t{kInputRate} * 600;
    static PageBuffer audio = [] {
        PageBuffer samples = pageAlignedSamples(audioFrames * kChannels);
        std::mt19937 random(5);
        std::normal_distribution<double> noise(0.0, 300.0);
        for (size_t n = 0; n < audioFrames; ++n) {
            double t = static_cast<double>(n) / kInputRate;
            double bass = 6000.0 * std::sin(2.0 * std::numbers::pi * (110.0 + 5.0 * std::sin(t)) * t);
            double middle = 4000.0 * std::sin(2.0 * std::numbers::pi * 1250.0 * t);
            double high = 1500.0 * std::sin(2.0 * std::numbers::pi * 7300.0 * t);
            samples.get()[2 * n] = static_cast<int16_t>(std::lround(bass + middle + noise(random)));
            samples.get()[2 * n + 1] = static_cast<int16_t>(std::lround(bass + high + noise(random)));
        }
        return samples;
    }();
    frames = audioFrames;
    return audio.get();
}

// One stream conversion, block by block.
class StreamConverter {
public:
    virtual ~StreamConverter() = default;
    // Converts `frames` frames; `output` has room for `capacity` frames. Returns frames written.
    virtual size_t convert(const int16_t* input, size_t frames, int16_t* output, size_t capacity) = 0;
};

class PolyphaseStream : public StreamConverter {
public:
    PolyphaseStream(int outputRate, int channels, int type)
        : m_converter(InitResampler(kInputRate, outputRate, channels, type))
        , m_channels(channels)
    {
        if (!m_converter) {
            std::fprintf(stderr, "InitResampler(%d, %d, %d, %d) failed\n", kInputRate, outputRate, channels, type);
            std::exit(1);
        }
    }
    ~PolyphaseStream() override { FreeResampler(m_converter); }

    size_t convert(const int16_t* input, size_t frames, int16_t* output, size_t) override
    {
        int written = Resample(input, static_cast<int>(frames) * m_channels, output, m_converter);
        return written < 0 ? 0 : static_cast<size_t>(written / m_channels);
    }

private:
    PolyphaseConverter* m_converter;
    int m_channels;
};

class SoxrStream : public StreamConverter {
public:
    SoxrStream(int outputRate, int channels, unsigned long quality)
    {
        soxr_error_t error = nullptr;
        soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        soxr_quality_spec_t spec = soxr_quality_spec(quality, 0);
        m_soxr = soxr_create(kInputRate, outputRate, static_cast<unsigned>(channels), &error, &io, &spec, nullptr);
        if (error) {
            std::fprintf(stderr, "soxr_create: %s\n", error);
            std::exit(1);
        }
    }
    ~SoxrStream() override { soxr_delete(m_soxr); }

    size_t convert(const int16_t* input, size_t frames, int16_t* output, size_t capacity) override
    {
        size_t used = 0;
        size_t written = 0;
        soxr_error_t error = soxr_process(m_soxr, input, frames, &used, output, capacity, &written);
        if (error || used != frames) {
            std::fprintf(stderr, "soxr_process: %s\n", error ? error : "input left over");
            std::exit(1);
        }
        return written;
    }

private:
    soxr_t m_soxr = nullptr;
};

class SpeexStream : public StreamConverter {
public:
    SpeexStream(int outputRate, int channels, int quality)
        : m_channels(channels)
    {
        int error = 0;
        m_speex = speex_resampler_init(static_cast<spx_uint32_t>(channels), kInputRate, static_cast<spx_uint32_t>(outputRate),
                                       quality, &error);
        if (!m_speex) {
            std::fprintf(stderr, "speex_resampler_init: %s\n", speex_resampler_strerror(error));
            std::exit(1);
        }
        speex_resampler_skip_zeros(m_speex);
    }
    ~SpeexStream() override { speex_resampler_destroy(m_speex); }

    size_t convert(const int16_t* input, size_t frames, int16_t* output, size_t capacity) override
    {
        size_t written = 0;
        while (frames > 0) {
            spx_uint32_t used = static_cast<spx_uint32_t>(frames);
            spx_uint32_t room = static_cast<spx_uint32_t>(capacity - written);
            speex_resampler_process_interleaved_int(m_speex, input, &used, output + written * m_channels, &room);
            input += static_cast<size_t>(used) * m_channels;
            frames -= used;
            written += room;
            if (used == 0 && room == 0)
                break;
        }
        return written;
    }

private:
    SpeexResamplerState* m_speex = nullptr;
    int m_channels;
};

enum class Peer { Polyphase, SoxrLow, SoxrDefault, Speex };

// Speex quality 2 has a 32-tap base filter, as long as the engine's type 3 (16 taps a side).
constexpr int kSpeexQuality = 2;

std::unique_ptr<StreamConverter> makeStream(Peer peer, int outputRate, int channels, int type = 3)
{
    switch (peer) {
    case Peer::Polyphase:
        return std::make_unique<PolyphaseStream>(outputRate, channels, type);
    case Peer::SoxrLow:
        return std::make_unique<SoxrStream>(outputRate, channels, SOXR_LQ);
    case Peer::SoxrDefault:
        return std::make_unique<SoxrStream>(outputRate, channels, SOXR_HQ);
    case Peer::Speex:
        return std::make_unique<SpeexStream>(outputRate, channels, kSpeexQuality);
    }
    return nullptr;
}

size_t outputCapacity(size_t inputFrames, int outputRate)
{
    return inputFrames * static_cast<size_t>(outputRate) / kInputRate + 64;
}

// Converts all of `input` block by block and returns the output.
std::vector<int16_t> convertAll(StreamConverter& stream, const int16_t* input, size_t frames, int outputRate, int channels)
{
    size_t capacity = outputCapacity(kBlockFrames, outputRate);
    PageBuffer block = pageAlignedSamples(capacity * static_cast<size_t>(channels));
    std::vector<int16_t> output;
    for (size_t done = 0; done < frames; done += kBlockFrames) {
        size_t now = std::min(kBlockFrames, frames - done);
        size_t written = stream.convert(input + done * static_cast<size_t>(channels), now, block.get(), capacity);
        output.insert(output.end(), block.get(), block.get() + written * static_cast<size_t>(channels));
    }
    return output;
}

void convertTenMinutes(benchmark::State& state, Peer peer, int outputRate)
{
    size_t frames = 0;
    const int16_t* audio = tenMinutesOfAudio(frames);
    size_t capacity = outputCapacity(kBlockFrames, outputRate);
    PageBuffer block = pageAlignedSamples(capacity * kChannels);
    size_t written = 0;
    for (auto _ : state) {
        std::unique_ptr<StreamConverter> stream = makeStream(peer, outputRate, kChannels);
        written = 0;
        for (size_t done = 0; done < frames; done += kBlockFrames) {
            size_t now = std::min(kBlockFrames, frames - done);
            written += stream->convert(audio + done * kChannels, now, block.get(), capacity);
            benchmark::DoNotOptimize(block.get());
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frames * kChannels * sizeof(int16_t)));
    state.counters["realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) * 600.0, benchmark::Counter::kIsRate);
    state.counters["outFrames"] = static_cast<double>(written);
}

// A tone at `level` dBFS on both channels, `seconds` long.
std::vector<int16_t> tone(double frequency, double levelDb, double seconds, int channels)
{
    size_t frames = static_cast<size_t>(seconds * kInputRate);
    double amplitude = 32767.0 * std::pow(10.0, levelDb / 20.0);
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    for (size_t n = 0; n < frames; ++n)
        for (int channel = 0; channel < channels; ++channel)
            samples[n * static_cast<size_t>(channels) + static_cast<size_t>(channel)] = static_cast<int16_t>(
                std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(n) / kInputRate)));
    return samples;
}

struct SineQuality {
    double snrDb;
    double levelDb;
};

// Signal-to-noise ratio of the engine's 1 kHz output against the ideal sine at each output
// frame's exact input time (0.5 / L - count + k * M / L), so timing and level errors count too;
// and the level of the output relative to the input.
SineQuality polyphaseSineQuality(int outputRate, int type)
{
    constexpr double kLevelDb = -1.0;
    std::vector<int16_t> input = tone(1000.0, kLevelDb, 2.0, 1);
    PolyphaseStream stream(outputRate, 1, type);
    std::vector<int16_t> output = convertAll(stream, input.data(), input.size(), outputRate, 1);
    int divisor = std::gcd(kInputRate, outputRate);
    double phases = outputRate / divisor;
    double decimation = kInputRate / divisor;
    int count = 0;
    std::unique_ptr<int16_t, FreeDeleter> filter(MakeFilter(static_cast<int>(phases), static_cast<int>(decimation), type, &count));
    double amplitude = 32767.0 * std::pow(10.0, kLevelDb / 20.0);
    double signalEnergy = 0.0;
    double noiseEnergy = 0.0;
    double correlation = 0.0;
    // Skip the run-in from silence and the last tenth.
    for (size_t k = output.size() / 10; k < output.size() * 9 / 10; ++k) {
        double time = 0.5 / phases - count + static_cast<double>(k) * decimation / phases;
        double ideal = amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * time / kInputRate);
        signalEnergy += ideal * ideal;
        noiseEnergy += (output[k] - ideal) * (output[k] - ideal);
        correlation += output[k] * ideal;
    }
    return {10.0 * std::log10(signalEnergy / noiseEnergy), 20.0 * std::log10(correlation / signalEnergy)};
}

const char* peerName(Peer peer)
{
    switch (peer) {
    case Peer::Polyphase:
        return "polyphase type 3";
    case Peer::SoxrLow:
        return "soxr low quality";
    case Peer::SoxrDefault:
        return "soxr default (HQ)";
    case Peer::Speex:
        return "speexdsp quality 2";
    }
    return "";
}

void printQuality()
{
    std::printf("Polyphase engine, 1 kHz sine at -1 dBFS, SNR against the ideal sine (level error included):\n");
    for (int outputRate : {48000, 22050})
        for (int type = 0; type < 4; ++type) {
            SineQuality quality = polyphaseSineQuality(outputRate, type);
            std::printf("  44100 -> %d type %d: SNR %.1f dB, level %+.4f dB\n", outputRate, type, quality.snrDb,
                        quality.levelDb);
        }
    std::vector<int16_t> low = tone(1000.0, -1.0, 3.0, kChannels);
    std::vector<int16_t> high = tone(15000.0, -1.0, 3.0, kChannels);
    std::printf("THD+N of a 1 kHz tone at -1 dBFS, 44100 -> 48000 (engine target: below -80 dB):\n");
    auto printThdPlusNoise = [&](const char* name, StreamConverter& stream) {
        std::vector<int16_t> output = convertAll(stream, low.data(), low.size() / kChannels, 48000, kChannels);
        std::printf("  %-20s %.1f dB\n", name, thdPlusNoiseDb(output.data(), output.size() / kChannels, kChannels, 48000, 1000.0));
    };
    for (Peer peer : {Peer::Polyphase, Peer::SoxrLow, Peer::SoxrDefault, Peer::Speex})
        printThdPlusNoise(peerName(peer), *makeStream(peer, 48000, kChannels));
    for (int type = 0; type < 3; ++type) {
        std::string name = "polyphase type " + std::to_string(type);
        printThdPlusNoise(name.c_str(), *makeStream(Peer::Polyphase, 48000, kChannels, type));
    }
    std::printf("44100 -> 22050: a 15 kHz tone at -1 dBFS comes back as its 7050 Hz alias at:\n");
    for (Peer peer : {Peer::Polyphase, Peer::SoxrLow, Peer::SoxrDefault, Peer::Speex}) {
        auto stream = makeStream(peer, 22050, kChannels);
        std::vector<int16_t> output = convertAll(*stream, high.data(), high.size() / kChannels, 22050, kChannels);
        std::printf("  %-20s %.1f dBFS\n", peerName(peer),
                    toneLevelDb(output.data(), output.size() / kChannels, kChannels, 22050, 7050.0));
    }
    std::fflush(stdout);
}

void registerThroughput()
{
    for (int outputRate : {22050, 48000})
        for (Peer peer : {Peer::Polyphase, Peer::SoxrLow, Peer::SoxrDefault, Peer::Speex}) {
            std::string name = std::string("TenMinutesStereo/44100to") + std::to_string(outputRate) + "/" + peerName(peer);
            benchmark::RegisterBenchmark(name.c_str(), convertTenMinutes, peer, outputRate)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(3);
        }
}

}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    printQuality();
    registerThroughput();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
