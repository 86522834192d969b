#include "canonical_wav_header.h"

#include "little_endian.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace wavelark::audio {

namespace {

constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;
// The RIFF size counts the header bytes after its own field: 44 - 8.
constexpr uint64_t kRiffSizeOverData = 36;

uint32_t heldAt32Bits(uint64_t size)
{
    return static_cast<uint32_t>(std::min<uint64_t>(size, std::numeric_limits<uint32_t>::max()));
}

bool writeLittle32At(std::FILE* file, long offset, uint32_t value)
{
    uint8_t field[4];
    writeLittleEndian32(field, value);
    return std::fseek(file, offset, SEEK_SET) == 0 && std::fwrite(field, 1, sizeof field, file) == sizeof field;
}

}

WavSizeFields wavSizeFields(uint64_t dataBytes)
{
    uint32_t dataSize = heldAt32Bits(dataBytes);
    // Summed from the held data size, so nothing can wrap; a held data size holds this one too.
    return {heldAt32Bits(uint64_t {dataSize} + kRiffSizeOverData), dataSize};
}

CanonicalWavHeader canonicalWavHeader(int sampleRate, int bitsPerSample, int channels)
{
    CanonicalWavHeader header {};  // both size fields 0
    auto blockAlign = static_cast<uint16_t>(static_cast<uint32_t>(channels) * static_cast<uint32_t>(bitsPerSample / 8));
    uint32_t bytesPerSecond = static_cast<uint32_t>(sampleRate) * blockAlign;
    std::memcpy(header.data(), "RIFF", 4);
    std::memcpy(header.data() + 8, "WAVEfmt ", 8);
    writeLittleEndian32(header.data() + 16, 16);
    writeLittleEndian16(header.data() + 20, 1);  // PCM
    writeLittleEndian16(header.data() + 22, static_cast<uint16_t>(channels));
    writeLittleEndian32(header.data() + 24, static_cast<uint32_t>(sampleRate));
    writeLittleEndian32(header.data() + 28, bytesPerSecond);
    writeLittleEndian16(header.data() + 32, blockAlign);
    writeLittleEndian16(header.data() + 34, static_cast<uint16_t>(bitsPerSample));
    std::memcpy(header.data() + 36, "data", 4);
    return header;
}

bool writeWavSizeFields(std::FILE* file, uint64_t dataBytes)
{
    WavSizeFields sizes = wavSizeFields(dataBytes);
    return file && writeLittle32At(file, kDataSizeOffset, sizes.dataSize)
        && writeLittle32At(file, kRiffSizeOffset, sizes.riffSize);
}

}
