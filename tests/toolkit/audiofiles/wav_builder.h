// Builds RIFF/WAVE files byte by byte for the tests: any chunks in any order, sizes that lie,
// odd bodies with or without their pad byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavelark::testing {

struct RiffChunkBytes {
    std::string id;    // four characters
    std::string body;
    // The size written into the chunk header; the body's size when not given.
    int64_t declaredSize = -1;
    // Whether an odd body is followed by its pad byte.
    bool padded = true;
};

std::string littleEndian16(uint16_t value);
std::string littleEndian32(uint32_t value);

// A 16-byte PCM "fmt " body (tag 1), or 18 bytes with a zero extra size when extended is set.
std::string pcmFormatBody(uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels, bool extended = false);

// "RIFF", the RIFF size (file length - 8 unless riffSize is given), "WAVE", then the chunks.
std::string riffWave(const std::vector<RiffChunkBytes>& chunks, int64_t riffSize = -1);

// A canonical WAV: a 16-byte format and a data chunk holding samples.
std::string simpleWav(const std::string& samples, uint32_t sampleRate = 44100, uint16_t bitsPerSample = 16,
                      uint16_t channels = 2);

// count bytes that differ from their neighbours (0, 1, 2, ... modulo 251).
std::string patternBytes(size_t count);

}
