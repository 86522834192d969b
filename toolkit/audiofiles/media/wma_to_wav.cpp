// WMA2WAV: any file the reader slots read (WMA, MP3, WAV, ...) to a 44100 Hz, 16-bit stereo WAV
// file, through reader slot 4. The destination always ends as a finalised WAV file, also when
// the source cannot be read (then it holds no samples) or the conversion is cancelled (then it
// holds the blocks converted so far): the importer reads whatever file is there.

#include "audiofiles/wav_header.h"
#include "sorvak.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kConverterSlot = 4;
constexpr int kFailed = -1;

// Appends every block of the opened slot to the file; false when a write fails.
bool appendBlocks(std::FILE* output, SorvakProgressFunction progress)
{
    for (;;) {
        void* block = nullptr;
        int32_t length = 0;
        int64_t time = 0;
        int result = ReadWMA(kConverterSlot, &block, &length, &time, 1.0, 0);
        if (result < 0)
            return true;
        std::size_t size = length > 0 ? static_cast<std::size_t>(length) : 0;
        bool written = std::fwrite(block, 1, size, output) == size;
        std::free(block);
        if (!written)
            return false;
        if (progress && progress(result) != 0)
            return true;
    }
}

}

int WMA2WAV(const char* source, const char* destination, SorvakProgressFunction progress)
{
    if (!destination)
        return kFailed;
    // The opening -1 tells the caller a conversion starts; only the later calls can cancel it.
    if (progress)
        progress(-1);
    int64_t duration = 0;
    bool opened = source && OpenWMA(kConverterSlot, source, 0, &duration) == 1;

    std::FILE* output = std::fopen(destination, "wb+");
    if (!output) {
        CloseWMA(kConverterSlot);
        return kFailed;
    }
    // The header always declares 44100 Hz, 16-bit stereo: the blocks are converted to it.
    bool written = sorvak::writeWavHeaderTemplate(output);
    if (written && opened)
        written = appendBlocks(output, progress);
    CloseWMA(kConverterSlot);
    bool closed = std::fclose(output) == 0;
    bool finalised = sorvak::finaliseWavHeader(destination);
    return opened && written && closed && finalised ? 0 : kFailed;
}
