#include "dsp/pitch_bend.h"

#include "dsp/audio_block.h"

#include <cstdlib>
#include <cstring>

namespace sorvak::dsp {

namespace {

// Output sizes are 32-bit byte counts.
constexpr size_t kMaximumOutputFrames = UINT32_MAX / 4;

double clampRatio(double ratio)
{
    return ratio < kSmallestRatio ? kSmallestRatio : ratio;
}

size_t grownCapacity(size_t frames)
{
    size_t wanted = frames + frames / 2 + 256;
    return wanted < kMaximumOutputFrames ? wanted : kMaximumOutputFrames;
}

int16_t truncateToSample(double value)
{
    return static_cast<int16_t>(static_cast<int32_t>(value));
}

// Output memory that grows when the estimate falls short (it only can by rounding of the summed
// positions); the straightforward loop below checks before every frame it writes.
class OutputFrames {
public:
    ~OutputFrames() { std::free(m_frames); }

    bool reserve(size_t frames)
    {
        if (frames <= m_capacity)
            return true;
        if (frames > kMaximumOutputFrames)
            return false;
        auto* grown = reinterpret_cast<int16_t*>(allocateAudioBlock(frames * 4));
        if (!grown)
            return false;
        if (m_frames)
            std::memcpy(grown, m_frames, m_capacity * 4);
        std::free(m_frames);
        m_frames = grown;
        m_capacity = frames;
        return true;
    }

    int16_t* frames() { return m_frames; }
    size_t capacity() const { return m_capacity; }

    // Hands the memory to the caller.
    uint8_t* release()
    {
        auto* frames = reinterpret_cast<uint8_t*>(m_frames);
        m_frames = nullptr;
        m_capacity = 0;
        return frames;
    }

private:
    int16_t* m_frames = nullptr;
    size_t m_capacity = 0;
};

}

bool pitchBendStereo(const void* frames, size_t frameCount, double startRatio, double endRatio,
                     ResamplerState& state, AudioBlock& output)
{
    output = AudioBlock{};
    double startClamped = clampRatio(startRatio);
    double endClamped = clampRatio(endRatio);
    if (frameCount < 2)
        return true;

    double step = 1.0 / startClamped;
    double decrement = (1.0 / startClamped - 1.0 / endClamped) / static_cast<double>(frameCount);

    // Room for frameCount / smaller ratio frames and one more; grown if rounding asks for more.
    double smaller = startClamped < endClamped ? startClamped : endClamped;
    double estimate = static_cast<double>(frameCount) / smaller + 2.0;
    OutputFrames out;
    size_t initial = estimate < static_cast<double>(kMaximumOutputFrames) ? static_cast<size_t>(estimate)
                                                                         : kMaximumOutputFrames;
    if (!out.reserve(initial > 256 ? initial : 256))
        return false;

    double previousPosition = state.previousPosition;
    double nextPosition = state.nextPosition;
    double previousLeft = state.previousLeft;
    double previousRight = state.previousRight;
    size_t emitted = 0;
    int16_t* destination = out.frames();
    for (size_t index = 0; index < frameCount; ++index) {
        int16_t sample[2];
        std::memcpy(sample, static_cast<const uint8_t*>(frames) + 4 * index, sizeof sample);
        double left = sample[0];
        double right = sample[1];
        nextPosition += step;
        step -= decrement;
        while (static_cast<double>(emitted) < nextPosition) {
            if (emitted == out.capacity()) {
                if (emitted == kMaximumOutputFrames || !out.reserve(grownCapacity(emitted)))
                    return false;
                destination = out.frames();
            }
            double t = (static_cast<double>(emitted) - previousPosition) / (nextPosition - previousPosition);
            destination[2 * emitted] = truncateToSample(previousLeft + t * (left - previousLeft));
            destination[2 * emitted + 1] = truncateToSample(previousRight + t * (right - previousRight));
            ++emitted;
        }
        previousPosition = nextPosition;
        previousLeft = left;
        previousRight = right;
    }

    // Positions are kept relative to the first output frame of the next call.
    double emittedFrames = static_cast<double>(emitted);
    state.previousPosition = previousPosition - emittedFrames;
    state.nextPosition = nextPosition - emittedFrames;
    state.previousLeft = previousLeft;
    state.previousRight = previousRight;
    output.data = out.release();
    output.size = emitted * 4;
    return true;
}

}

void PitchBendAudioBufferStereo(const AudioBuffer* source, AudioBuffer* destination, double startRatio,
                                double endRatio, ResamplerState* state)
{
    if (!destination)
        return;
    destination->data = nullptr;
    destination->size = 0;
    if (!source || !source->data || !state)
        return;
    sorvak::dsp::AudioBlock block;
    // Only whole frames are read: a trailing partial frame is left alone.
    if (!sorvak::dsp::pitchBendStereo(source->data, source->size / 4, startRatio,
                                      endRatio, *state, block))
        return;
    destination->data = block.data;
    destination->size = static_cast<uint32_t>(block.size);
}
