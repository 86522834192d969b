// The canonical WAV header (the platform's one writer of WAV headers): written with both sizes 0
// before any sample data, patched by the finalisation once the writer has appended the samples
// and closed the file.

#include "audiofiles/wav_header.h"
#include "canonical_wav_header.h"
#include "sorvak.h"

#include <sys/types.h>

#include <cstdint>

namespace sorvak {

namespace {

using wavelark::audio::CanonicalWavHeader;

static_assert(wavelark::audio::kCanonicalWavHeaderSize == kWavHeaderSize);

bool writeHeader(std::FILE* file, const CanonicalWavHeader& header)
{
    return file && std::fwrite(header.data(), 1, header.size(), file) == header.size();
}

}

bool writeWavHeaderTemplate(std::FILE* file)
{
    return writeHeader(file, wavelark::audio::canonicalWavHeader(44100, 16, 2));
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
        if (length >= kWavHeaderSize)
            written = wavelark::audio::writeWavSizeFields(file, static_cast<uint64_t>(length) - kWavHeaderSize);
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
    bool written = sorvak::writeHeader(file, wavelark::audio::canonicalWavHeader(sampleRate, bitsPerSample, channels));
    int closeStatus = std::fclose(file);
    // A header that could not be written is not reported as a success.
    return written ? closeStatus : EOF;
}
