#include "dsp/pitch_bend.h"

#include "dsp/audio_block.h"
#include "dsp/pitch_bend_vector.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

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

// Truncates toward zero. Interpolated values lie between two 16-bit samples as long as the state
// came from this routine (or was zero).
int16_t truncateToSample(double value)
{
    return static_cast<int16_t>(static_cast<int32_t>(value));
}

// Output memory. Room is made run by run, before a run's frames are written, for exactly as many
// frames as its positions reach; the first estimate from the ratios seldom needs to grow.
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

    // Makes room for `frames` frames in all, growing by half again at least; false beyond the
    // largest 32-bit block or when memory runs out.
    bool reserveThrough(size_t frames)
    {
        if (frames <= m_capacity)
            return true;
        if (frames > kMaximumOutputFrames)
            return false;
        size_t grown = grownCapacity(m_capacity);
        return reserve(frames > grown ? frames : grown);
    }

    int16_t* frames() { return m_frames; }

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

// Adds the step to the position and the decrement to the step, once per input frame, keeping
// each position. Apart from the rest so that both sums stay in registers: this chain of
// additions sets the pace of the whole loop.
__attribute__((noinline)) void sumPositions(double* positions, size_t count, double& position, double& step,
                                            double decrement)
{
    double next = position;
    double current = step;
    for (size_t index = 0; index < count; ++index) {
        next += current;
        current -= decrement;
        positions[index] = next;
    }
    position = next;
    step = current;
}

// The number of output frames emitted once the `count` frames at positions[1..count] are done:
// the plain loop emits while the output number is below the current position and never goes
// back, so it reaches the ceiling of the highest position, or stays where it was. Positions that
// are not numbers emit nothing. SIZE_MAX when that is beyond any 32-bit block.
size_t reachedAfter(const double* positions, size_t count, size_t emitted)
{
    double highest = static_cast<double>(emitted);
    for (size_t index = 1; index <= count; ++index)
        if (positions[index] > highest)
            highest = positions[index];
    if (highest > static_cast<double>(kMaximumOutputFrames))
        return SIZE_MAX;
    return static_cast<size_t>(std::ceil(highest));
}

// The emission loop as plainly defined, over a run whose positions are summed already:
// positions[0] is the position of the frame before the run, positions[k + 1] that of frame k.
void emitRunPlain(const double* positions, const uint8_t* frames, size_t count, double& previousLeft,
                  double& previousRight, size_t& emitted, int16_t* destination)
{
    for (size_t index = 0; index < count; ++index) {
        int16_t sample[2];
        std::memcpy(sample, frames + 4 * index, sizeof sample);
        double left = sample[0];
        double right = sample[1];
        double previousPosition = positions[index];
        double nextPosition = positions[index + 1];
        while (static_cast<double>(emitted) < nextPosition) {
            double t = (static_cast<double>(emitted) - previousPosition) / (nextPosition - previousPosition);
            destination[2 * emitted] = truncateToSample(previousLeft + t * (left - previousLeft));
            destination[2 * emitted + 1] = truncateToSample(previousRight + t * (right - previousRight));
            ++emitted;
        }
        previousLeft = left;
        previousRight = right;
    }
}

// A steady ratio of exactly 1 on a stream whose positions sit on whole frames (every stream that
// has only ever run at that ratio): each output frame lands on the input frame before it, with
// t = 0, so the block comes out as the state's frame followed by all input frames but the last.
bool isWholeFrameDelay(double startRatio, double endRatio, const ResamplerState& state)
{
    return startRatio == 1.0 && endRatio == 1.0 && state.previousPosition == 0.0 && state.nextPosition == 0.0;
}

bool delayByOneFrame(const uint8_t* frames, size_t frameCount, ResamplerState& state, AudioBlock& output)
{
    OutputFrames out;
    if (!out.reserve(frameCount))
        return false;
    int16_t* destination = out.frames();
    destination[0] = truncateToSample(state.previousLeft);
    destination[1] = truncateToSample(state.previousRight);
    std::memcpy(destination + 2, frames, (frameCount - 1) * 4);
    int16_t last[2];
    std::memcpy(last, frames + 4 * (frameCount - 1), sizeof last);
    state.previousLeft = last[0];
    state.previousRight = last[1];
    output.data = out.release();
    output.size = frameCount * 4;
    return true;
}

}

bool pitchBendStereo(const void* frames, size_t frameCount, double startRatio, double endRatio,
                     ResamplerState& state, AudioBlock& output)
{
    output = AudioBlock{};
    double startClamped = clampRatio(startRatio);
    double endClamped = clampRatio(endRatio);
    if (frameCount < 2)
        return true;
    if (isWholeFrameDelay(startClamped, endClamped, state))
        return delayByOneFrame(static_cast<const uint8_t*>(frames), frameCount, state, output);

    double step = 1.0 / startClamped;
    double decrement = (1.0 / startClamped - 1.0 / endClamped) / static_cast<double>(frameCount);

    // Room for frameCount / smaller ratio frames and a little more; grown when a run needs more.
    double smaller = startClamped < endClamped ? startClamped : endClamped;
    double estimate = static_cast<double>(frameCount) / smaller + 2.0;
    OutputFrames out;
    size_t initial = estimate < static_cast<double>(kMaximumOutputFrames) ? static_cast<size_t>(estimate)
                                                                         : kMaximumOutputFrames;
    if (!out.reserve(initial > 256 ? initial : 256))
        return false;

    const auto* bytes = static_cast<const uint8_t*>(frames);
    bool vectorised = vectorisedBendAvailable();
    std::unique_ptr<VectorRunPlan> plan(vectorised ? new (std::nothrow) VectorRunPlan : nullptr);
    double previousPosition = state.previousPosition;
    double nextPosition = state.nextPosition;
    double previousLeft = state.previousLeft;
    double previousRight = state.previousRight;
    size_t emitted = 0;
    double positions[kBendRunFrames + 1];
    for (size_t runStart = 0; runStart < frameCount; runStart += kBendRunFrames) {
        size_t count = frameCount - runStart < kBendRunFrames ? frameCount - runStart : kBendRunFrames;
        // The position sums form one dependency chain; summing them apart from the emission lets
        // the emission run without waiting on it.
        positions[0] = previousPosition;
        sumPositions(positions + 1, count, nextPosition, step, decrement);
        previousPosition = nextPosition;

        const uint8_t* runFrames = bytes + 4 * runStart;
        size_t first = 0;
        if (runStart == 0) {
            // The first frame of the block interpolates from the state's frame, not from memory.
            if (!out.reserveThrough(reachedAfter(positions, 1, emitted)))
                return false;
            emitRunPlain(positions, runFrames, 1, previousLeft, previousRight, emitted, out.frames());
            first = 1;
        }
        if (count == first)
            continue;
        const double* runPositions = positions + first;
        runFrames += 4 * first;
        size_t runCount = count - first;
        if (plan && planRunVectorised(runPositions, runCount, emitted, *plan)) {
            if (!out.reserveThrough(emitted + plan->outputCount))
                return false;
            emitRunVectorised(*plan, runPositions, runFrames, emitted, reinterpret_cast<uint32_t*>(out.frames()));
            emitted += plan->outputCount;
            int16_t last[2];
            std::memcpy(last, runFrames + 4 * (runCount - 1), sizeof last);
            previousLeft = last[0];
            previousRight = last[1];
        } else {
            if (!out.reserveThrough(reachedAfter(runPositions, runCount, emitted)))
                return false;
            emitRunPlain(runPositions, runFrames, runCount, previousLeft, previousRight, emitted, out.frames());
        }
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
