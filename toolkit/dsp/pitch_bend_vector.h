// The vectorised output loop of the pitch bend: the same arithmetic as the plain loop, eight
// output frames at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sorvak::dsp {

// Input frames per run: the longest run a plan holds.
inline constexpr size_t kBendRunFrames = 512;
// The most output frames one input frame of a planned run may give.
inline constexpr size_t kMostOutputsPerInput = 8;

// Which input frame of a run each of its output frames interpolates towards.
struct VectorRunPlan {
    alignas(64) int32_t inputOf[kBendRunFrames * kMostOutputsPerInput + kMostOutputsPerInput];
    alignas(64) int32_t reachedAfter[kBendRunFrames];
    size_t outputCount = 0;
};

// Whether this processor can run the vectorised loop.
bool vectorisedBendAvailable();

// Plans a run of `count` (1..kBendRunFrames) input frames whose positions are already summed:
// positions[0] is the position of the frame before the run and positions[k + 1] that of input
// frame k; `emitted` output frames came before the run. The plain loop emits output frames while
// their number is below the current position, so with positions that never fall input frame k
// ends at max(emitted, ceil(positions[k + 1])). Returns false when the positions fall, are not
// numbers, or an input frame would give more than kMostOutputsPerInput frames; the caller then
// runs the plain loop.
bool planRunVectorised(const double* positions, size_t count, size_t emitted, VectorRunPlan& plan);

// Emits the plan.outputCount output frames of a planned run to out[emitted...] as packed
// left/right pairs; the caller has made room for them. `frames` points at input frame 0 of the
// run, and the frame before it (at frames - 4) must be readable: it is the previous frame of
// input 0. Each output frame is trunc(previous + t * (current - previous)) with
// t = (o - previous position) / (next position - previous position), in doubles, exactly as
// the plain loop computes it.
void emitRunVectorised(const VectorRunPlan& plan, const double* positions, const uint8_t* frames, size_t emitted,
                       uint32_t* out);

}
