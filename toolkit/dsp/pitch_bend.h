// Rate change of 16-bit stereo frames by linear interpolation, with a ratio that may glide across
// the block and a position carried between blocks in a ResamplerState.
#pragma once

#include "sorvak.h"

#include <cstddef>
#include <cstdint>

namespace sorvak::dsp {

// Ratios are input frames per output frame and are clamped from below to this value.
inline constexpr double kSmallestRatio = 0.01127;

// A block handed out by the chain: data from allocateAudioBlock (released with free), size in bytes.
struct AudioBlock {
    uint8_t* data = nullptr;
    size_t size = 0;
};

// Resamples `frameCount` interleaved 16-bit stereo frames (at any address). The step (output frames per input
// frame) glides linearly from 1 / startRatio towards 1 / endRatio over the block; each output
// frame interpolates between the previous input frame and the current one, so the last input
// frame of the block stays in `state` for the next block. Fewer than two frames give no output
// (an empty block) and leave the state as it was. Returns false, with an empty block and the
// state unchanged, when memory runs out or the output would not fit a 32-bit size.
// `state` must be zero or left by an earlier call for the same stream.
bool pitchBendStereo(const void* frames, size_t frameCount, double startRatio, double endRatio,
                     ResamplerState& state, AudioBlock& output);

}
