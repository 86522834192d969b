// The canonical 44-byte header of a PCM WAV file and the one rule for its two size fields. Every
// WAV file the system writes gets its header here: the test device's output and the toolkit's
// converters. Plain functions, safe on any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace wavelark::audio {

inline constexpr std::size_t kCanonicalWavHeaderSize = 44;
using CanonicalWavHeader = std::array<uint8_t, kCanonicalWavHeaderSize>;

// The size fields for dataBytes of samples after the header: the data size, and the RIFF size,
// which also counts the 36 header bytes after its own field. A size that does not fit 32 bits
// (files of 4 GiB and more) is held at 4294967295, each field on its own, so the RIFF size
// reaches that limit 36 bytes of data before the data size does. Never a wrapped, too small size.
struct WavSizeFields {
    uint32_t riffSize = 0;
    uint32_t dataSize = 0;
};
WavSizeFields wavSizeFields(uint64_t dataBytes);

// The header for PCM of the given format, both size fields 0: a writer writes it before the
// samples and sets the sizes with writeWavSizeFields once they are all written. The block
// alignment is channels x whole bytes per sample and the byte rate sample rate x block
// alignment, in the 16- and 32-bit arithmetic of the fields that hold them.
CanonicalWavHeader canonicalWavHeader(int sampleRate, int bitsPerSample, int channels);

// Writes the size fields for dataBytes of samples (wavSizeFields) into the canonical header at the
// start of an open file, which the caller keeps owning; the file position afterwards is
// unspecified. False when a seek or a write failed.
bool writeWavSizeFields(std::FILE* file, uint64_t dataBytes);

}
