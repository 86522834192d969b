// A converter written straight from the engine's definition, one output at a time over a whole
// stream, for comparing the engine against.
#ifndef WAVELARK_TESTS_POLYPHASE_REFERENCE_CONVERTER_H
#define WAVELARK_TESTS_POLYPHASE_REFERENCE_CONVERTER_H

#include <cstdint>
#include <vector>

// The output of a converter with these rates, channels and type after it has been fed all of
// `input` (interleaved): every output frame whose taps lie within the input, in order. The
// stream is preceded by silence.
std::vector<int16_t> referenceConversion(const std::vector<int16_t>& input, int inputRate, int outputRate, int channels,
                                         int type);

#endif
