// The canonical 44-byte WAV header and its finalisation, shared by every writer of WAV files in
// the toolkit (the converters write the header first, append the samples, then finalise).
#pragma once

#include <cstdio>

namespace sorvak {

// Reopens a finished WAV file for update and patches its two size fields from its length L:
// L - 44 at offset 40 and (L - 44) + 36 at offset 4. Returns false when the file cannot be
// opened or written, or is shorter than a header. A file of 4 GiB or more cannot state its size
// in 32 bits: both fields then hold 4294967295 rather than a wrapped, too small size (the rule
// of every WAV header in the system, canonical_wav_header.h).
bool finaliseWavHeader(const char* path);

// Size of the canonical header; the sample bytes start at this offset.
constexpr long kWavHeaderSize = 44;

// Writes the canonical header template at the stream's current position: PCM, 2 channels,
// 44100 Hz, 176400 bytes per second, block alignment 4, 16 bits, both size fields 0 (they are
// set by finaliseWavHeader). Returns false when the 44 bytes could not be written. The stream
// stays open and owned by the caller.
bool writeWavHeaderTemplate(std::FILE* file);

}
