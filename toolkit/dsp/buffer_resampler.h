// The buffer resampler: any supported PCM format in, any out, at a target rate and a speed factor.
#pragma once

#include "dsp/pitch_bend.h"
#include "dsp/sample_format.h"

namespace sorvak::dsp {

// Converts `size` bytes of `from` PCM at `sourceRate` into `to` PCM at `targetRate`: to 16-bit
// stereo, through pitchBendStereo with ratios (sourceRate / targetRate) * startSpeed and
// * endSpeed and the caller's state, then to the destination format. Only whole source frames are
// read. On success `output` holds a block (never null, possibly 0 bytes) that the caller frees.
// Returns false, with an empty block, when a format has no positive frame size or memory runs out.
bool resampleBlock(const uint8_t* data, size_t size, const SampleFormat& from, double sourceRate,
                   const SampleFormat& to, double targetRate, ResamplerState& state, double startSpeed,
                   double endSpeed, AudioBlock& output);

}
