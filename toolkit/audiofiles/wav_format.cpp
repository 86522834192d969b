#include "audiofiles/wav_format.h"

#include "little_endian.h"

#include <limits>

namespace sorvak {

using wavelark::readLittleEndian16;
using wavelark::readLittleEndian32;

namespace {

constexpr size_t kPcmFormatSize = 16;  // WAVEFORMATEX without its trailing extra size

}

RiffError readWavFormat(const char* path, RiffReader& reader, WavFormat& format)
{
    if (RiffError error = reader.open(path))
        return error;
    RiffChunk form;
    if (RiffError error = reader.descendIntoForm(makeFourCC("WAVE"), form))
        return error;
    RiffChunk formatChunk;
    if (RiffError error = reader.findChunk(form, makeFourCC("fmt "), formatChunk))
        return error;
    unsigned char formatBytes[sizeof(WAVEFORMATEX)] = {};
    size_t formatRead = 0;
    if (RiffError error = reader.read(formatChunk, 0, formatBytes, sizeof formatBytes, formatRead))
        return error;
    if (formatChunk.declaredSize < kPcmFormatSize)
        return RiffError{RiffError::Category::Malformed, formatChunk.dataOffset};
    if (formatRead < kPcmFormatSize)
        return RiffError{RiffError::Category::Truncated, formatChunk.dataOffset + formatRead};
    RiffChunk dataChunk;
    if (RiffError error = reader.findChunk(form, makeFourCC("data"), dataChunk))
        return error;
    if (dataChunk.dataOffset > std::numeric_limits<uint32_t>::max())
        return RiffError{RiffError::Category::Unsupported, dataChunk.dataOffset};

    WavFormat filled {};
    filled.formatTag = readLittleEndian16(formatBytes + 0);
    filled.channels = readLittleEndian16(formatBytes + 2);
    filled.sampleRate = readLittleEndian32(formatBytes + 4);
    filled.blockAlign = readLittleEndian16(formatBytes + 12);
    filled.bitsPerSample = readLittleEndian16(formatBytes + 14);
    filled.dataOffset = static_cast<uint32_t>(dataChunk.dataOffset);
    filled.dataLength = dataChunk.declaredSize;
    format = filled;
    return RiffError::none();
}

}
