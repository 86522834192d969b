// The WAV way of a reader slot: 64 KiB reads through the WAV slot of the same number, cut by the
// stream re-blocker into 1024-byte blocks (256 frames of 16-bit stereo), each converted on its
// own. Times and progress follow the read position, which runs up to 64 KiB ahead of the block
// handed out.

#include "audiofiles/media/stream_readers.h"

#include <cstdlib>
#include <limits>

namespace sorvak {

namespace {

constexpr uint32_t kSourceBufferSize = 65536;
constexpr uint32_t kBlockSize = 1024;
constexpr int64_t kTicksPerSecond = 10000000;

// The buffer resampler takes 8- and 16-bit PCM in one or two channels; anything else would be
// misread, so such a file is refused.
bool resamplerReads(const WavFormat& format)
{
    bool bitsSupported = format.bitsPerSample == 8 || format.bitsPerSample == 16;
    bool channelsSupported = format.channels == 1 || format.channels == 2;
    return format.formatTag == 1 && format.sampleRate > 0 && bitsSupported && channelsSupported
        && format.blockAlign == format.channels * (format.bitsPerSample / 8);
}

WAVEFORMATEX waveFormatOf(const WavFormat& format)
{
    WAVEFORMATEX wave {};
    wave.wFormatTag = format.formatTag;
    wave.nChannels = static_cast<uint16_t>(format.channels);
    wave.nSamplesPerSec = format.sampleRate;
    wave.nAvgBytesPerSec = format.sampleRate * format.blockAlign;
    wave.nBlockAlign = static_cast<uint16_t>(format.blockAlign);
    wave.wBitsPerSample = static_cast<uint16_t>(format.bitsPerSample);
    return wave;
}

// The byte position of the whole second at or before time. A time that is negative or lies
// beyond what 32 bits hold is made a position past any data length, which SeekWAV turns into 0.
uint32_t wholeSecondPosition(const WavFormat& format, int64_t time)
{
    uint64_t seconds = time > 0 ? static_cast<uint64_t>(time) / kTicksPerSecond : 0;
    uint64_t position = seconds * format.blockAlign * format.sampleRate;
    if (position > std::numeric_limits<uint32_t>::max())
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(position);
}

}

bool openWavStream(ReaderSlot& slot, int number, const char* path, int64_t startTime)
{
    const WavFormat* format = OpenWAV(path, number);
    if (!format || !resamplerReads(*format)) {
        CloseWAV(number);
        return false;
    }
    slot.wavFormat = *format;
    slot.decodedFormat = waveFormatOf(*format);
    // P: one frame's duration, truncated (226 at 44100 Hz), so the duration of a file of 44100
    // frames is 9 966 600 rather than 10 000 000, as it has always been reported.
    slot.wavFrameDuration = static_cast<int64_t>(10000000.0 / format->sampleRate);
    slot.duration = static_cast<int64_t>(format->dataLength / format->blockAlign) * slot.wavFrameDuration;
    slot.wavPosition = SeekWAV(number, wholeSecondPosition(*format, startTime));

    slot.sourceBuffer.reset(new uint8_t[kSourceBufferSize]());
    slot.reblocker = StreamBufferRecord {};
    slot.reblocker.source = slot.sourceBuffer.get();
    slot.reblocker.blockSize = kBlockSize;
    StreamBuffer(&slot.reblocker, 0);
    return true;
}

int readWavStream(ReaderSlot& slot, int number, double speed, DeliveredBlock& block)
{
    for (;;) {
        if (StreamBuffer(&slot.reblocker, 1) == 1) {
            block = deliverBlock(slot, slot.reblocker.block, kBlockSize, slot.decodedFormat, speed);
            block.time = static_cast<int64_t>(slot.wavPosition / slot.wavFormat.blockAlign) * slot.wavFrameDuration;
            return static_cast<int>(percent(slot.wavPosition, slot.wavFormat.dataLength));
        }
        int count = ReadWAV(number, static_cast<int>(kSourceBufferSize), slot.sourceBuffer.get());
        // A final remainder shorter than a block stays in the re-blocker and is not delivered.
        slot.reblocker.sourceLength = count > 0 ? static_cast<uint32_t>(count) : 0;
        if (count <= 0)
            return -1;
        slot.wavPosition += static_cast<uint32_t>(count);
    }
}

void seekWavStream(ReaderSlot& slot, int number, int64_t time)
{
    const WavFormat& format = slot.wavFormat;
    uint64_t position = wholeSecondPosition(format, time);
    position -= position % format.blockAlign;
    // A time at or near the end leaves the position where it is. The re-blocker keeps the bytes
    // it holds from before the seek.
    if (format.dataLength < format.blockAlign || position >= format.dataLength - format.blockAlign)
        return;
    slot.wavPosition = SeekWAV(number, static_cast<uint32_t>(position));
}

void closeWavStream(ReaderSlot& slot, int number)
{
    StreamBuffer(&slot.reblocker, 2);
    slot.reblocker = StreamBufferRecord {};
    CloseWAV(number);
    slot.sourceBuffer.reset();
}

}
