#include "audiofiles/media/take_rate_stream.h"

#include "dsp/polyphase/polyphase_converter.h"
#include "sorvak.h"

#include <algorithm>
#include <cmath>

namespace sorvak {

namespace {

constexpr int kTakeRate = 44100;
constexpr int kBestFilterType = 3;

}

std::unique_ptr<TakeRateStream> TakeRateStream::create(int inputRate, bool dither)
{
    if (inputRate <= 0)
        return nullptr;
    PolyphaseConverter* converter = nullptr;
    if (inputRate != kTakeRate) {
        converter = InitResampler(inputRate, kTakeRate, 2, kBestFilterType);
        if (!converter)
            return nullptr;
    }
    return std::unique_ptr<TakeRateStream>(new TakeRateStream(inputRate, dither, converter));
}

TakeRateStream::TakeRateStream(int inputRate, bool dither, PolyphaseConverter* converter)
    : m_inputRate(inputRate)
    , m_dither(dither)
    , m_converter(converter)
{
    // The first output frame stands `count` input frames before the stream's start.
    if (m_converter)
        m_delayFrames = static_cast<uint64_t>(std::llround(static_cast<double>(m_converter->count) * kTakeRate / inputRate));
}

TakeRateStream::~TakeRateStream()
{
    FreeResampler(m_converter);
}

void TakeRateStream::quantise(const float* stereo, std::size_t frames)
{
    const std::size_t samples = 2 * frames;
    m_quantised.resize(samples);
    m_noise.resize(samples);
    if (m_dither) {
        // Triangular noise of up to one step either way: the difference of the two 16-bit halves
        // of a xorshift value, each a uniform number of steps in [0, 1).
        uint32_t state = m_noiseState;
        for (std::size_t index = 0; index < samples; ++index) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            m_noise[index] = (static_cast<float>(state & 0xFFFFu) - static_cast<float>(state >> 16)) * (1.0f / 65536.0f);
        }
        m_noiseState = state;
    } else {
        std::fill(m_noise.begin(), m_noise.end(), 0.0f);
    }
    // Rounded half up by truncating a positive number: no library call per sample.
    for (std::size_t index = 0; index < samples; ++index) {
        float value = stereo[index] * 32768.0f + m_noise[index];
        // A NaN from a damaged float file is silence (the clamp would pass it through).
        value = value == value ? std::clamp(value, -32768.0f, 32767.0f) : 0.0f;
        m_quantised[index] = static_cast<int16_t>(static_cast<int32_t>(value + 32768.5f) - 32768);
    }
}

void TakeRateStream::convert(std::vector<int16_t>& output)
{
    const auto samples = static_cast<int>(m_quantised.size());
    m_converted.resize(static_cast<std::size_t>(
        static_cast<int64_t>(samples) * m_converter->phases / m_converter->decimation + 4));
    const int written = Resample(m_quantised.data(), samples, m_converted.data(), m_converter);
    std::size_t frames = written > 0 ? static_cast<std::size_t>(written) / 2 : 0;
    std::size_t first = 0;
    if (m_delayFrames > 0) {
        first = static_cast<std::size_t>(std::min<uint64_t>(m_delayFrames, frames));
        m_delayFrames -= first;
    }
    const uint64_t target = static_cast<uint64_t>(std::llround(static_cast<double>(m_inputFrames) * kTakeRate / m_inputRate));
    const uint64_t room = target > m_outputFrames ? target - m_outputFrames : 0;
    const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(frames - first, room));
    output.insert(output.end(), m_converted.begin() + static_cast<std::ptrdiff_t>(2 * first),
                  m_converted.begin() + static_cast<std::ptrdiff_t>(2 * (first + count)));
    m_outputFrames += count;
}

void TakeRateStream::write(const float* stereo, std::size_t frames, std::vector<int16_t>& output)
{
    quantise(stereo, frames);
    m_inputFrames += frames;
    if (!m_converter) {
        output.insert(output.end(), m_quantised.begin(), m_quantised.end());
        m_outputFrames += frames;
        return;
    }
    convert(output);
}

void TakeRateStream::finish(std::vector<int16_t>& output)
{
    if (!m_converter)
        return;
    // Silence behind the last frames carries them out of the converter's history; the count of
    // frames written stays that of the input.
    const std::size_t tail = static_cast<std::size_t>(m_converter->count) * 2 + 4;
    m_quantised.assign(2 * tail, 0);
    convert(output);
}

}
