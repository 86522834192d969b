// The conversion chain computed the plain way, one frame at a time, straight from its definition:
// the expected results of the chain's tests. Independent of the toolkit's own (faster) loops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wavelark::testing {

struct ReferenceState {
    double previousPosition = 0.0;
    double nextPosition = 0.0;
    double previousLeft = 0.0;
    double previousRight = 0.0;
};

// Width and channel conversion of whole frames; bits 8 or 16, channels 1 or 2.
std::vector<uint8_t> referenceConvert(const std::vector<uint8_t>& source, int sourceBits, int destinationBits,
                                      int sourceChannels, int destinationChannels);

// Linear-interpolation rate change of 16-bit stereo frames (interleaved samples).
std::vector<int16_t> referencePitchBend(const std::vector<int16_t>& samples, double startRatio, double endRatio,
                                        ReferenceState& state);

// The whole chain on one block: to 16-bit stereo, rate change, to the destination format.
std::vector<uint8_t> referenceResample(const std::vector<uint8_t>& source, int sourceBits, int sourceChannels,
                                       int sourceRate, int destinationBits, int destinationChannels, int targetRate,
                                       double startSpeed, double endSpeed, ReferenceState& state);

// `count` bytes from a fixed pseudo-random sequence.
std::vector<uint8_t> randomBytes(size_t count, unsigned seed);

std::vector<int16_t> samplesOf(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> bytesOf(const std::vector<int16_t>& samples);

}
