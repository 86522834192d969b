// The canonical WAV header: written with both sizes 0 before any sample data, patched by the
// finalisation once the writer has appended the samples and closed the file.

#include "audiofiles/little_endian.h"
#include "audiofiles/wav_header.h"
#include "sorvak.h"

#include <sys/types.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

namespace sorvak {

namespace {

using WavHeader = std::array<unsigned char, kWavHeaderSize>;

constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;
// The RIFF size counts the header bytes after the size field: 44 - 8.
constexpr uint64_t kRiffSizeOverData = 36;

// The 44 header bytes for a PCM format; the arithmetic is that of 32-bit integers, as the
// header's fields are.
WavHeader buildWavHeader(int sampleRate, int bitsPerSample, int channels)
{
    WavHeader header {};
    uint16_t blockAlign = static_cast<uint16_t>(static_cast<uint32_t>(channels) * static_cast<uint32_t>(bitsPerSample / 8));
    uint32_t bytesPerSecond = static_cast<uint32_t>(sampleRate) * blockAlign;
    std::memcpy(header.data() + 0, "RIFF", 4);
    std::memcpy(header.data() + 8, "WAVE", 4);
    std::memcpy(header.data() + 12, "fmt ", 4);
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

bool writeHeader(std::FILE* file, const WavHeader& header)
{
    return file && std::fwrite(header.data(), 1, header.size(), file) == header.size();
}

bool writeSizeAt(std::FILE* file, long offset, uint64_t size)
{
    unsigned char bytes[4];
    writeLittleEndian32(bytes, static_cast<uint32_t>(std::min<uint64_t>(size, std::numeric_limits<uint32_t>::max())));
    return std::fseek(file, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

}

bool writeWavHeaderTemplate(std::FILE* file)
{
    return writeHeader(file, buildWavHeader(44100, 16, 2));
}

bool finaliseWavHeader(const char* path)
{
    if (!path)
        return false;
    std::FILE* file = std::fopen(path, "rb+e");
    if (!file)
        return false;
    bool written = false;
    if (fseeko(file, 0, SEEK_END) == 0) {
        off_t length = ftello(file);
        if (length >= kWavHeaderSize) {
            uint64_t dataSize = static_cast<uint64_t>(length) - kWavHeaderSize;
            written = writeSizeAt(file, kDataSizeOffset, dataSize)
                && writeSizeAt(file, kRiffSizeOffset, dataSize + kRiffSizeOverData);
        }
    }
    bool closed = std::fclose(file) == 0;
    return written && closed;
}

}

SORVAK_API int CreateWAVHeader(const char* path, int sampleRate, int bitsPerSample, int channels)
{
    if (!path)
        return 0;
    std::FILE* file = std::fopen(path, "wb+e");
    if (!file)
        return 0;
    bool written = sorvak::writeHeader(file, sorvak::buildWavHeader(sampleRate, bitsPerSample, channels));
    int closeStatus = std::fclose(file);
    // A header that could not be written is not reported as a success.
    return written ? closeStatus : EOF;
}
