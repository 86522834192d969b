// The file-to-file converter: a WAV file through the buffer resampler into a new WAV file.
#include "sorvak.h"

#include "audiofiles/wav_header.h"
#include "dsp/buffer_resampler.h"
#include "dsp/conversion_limits.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

using sorvak::dsp::AudioBlock;
using sorvak::dsp::SampleFormat;

// The converter reads the source through this WAV slot; nobody else may hold it meanwhile.
constexpr int kSourceSlot = 0;
constexpr int kReadBlockBytes = 16384;
constexpr std::size_t kWriteBufferBytes = 1048576;

bool isSupportedFormat(int bits, int channels)
{
    return (bits == 8 || bits == 16) && (channels == 1 || channels == 2);
}

// Converting a file onto itself would truncate the source before it is read.
bool isSameFile(const char* source, const char* destination)
{
    std::error_code error;
    return std::filesystem::equivalent(source, destination, error) && !error;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct SlotCloser {
    ~SlotCloser() { CloseWAV(kSourceSlot); }
};

int progressPercent(uint64_t consumed, uint32_t dataLength)
{
    // An empty data chunk is all done; percent() of 0 of 0 has no value.
    if (dataLength == 0)
        return 100;
    double value = percent(static_cast<double>(consumed), static_cast<double>(dataLength));
    return static_cast<int>(std::trunc(value));
}

enum class CopyResult { Finished, Cancelled, Failed };

// Streams every block of the open source slot through the resampler into `output`.
CopyResult resampleSlotInto(std::FILE* output, const WavFormat& source, const SampleFormat& to, int rate,
                            double speed, SorvakProgressFunction progress)
{
    std::unique_ptr<uint8_t[]> readBuffer(new (std::nothrow) uint8_t[kReadBlockBytes]);
    if (!readBuffer)
        return CopyResult::Failed;
    SampleFormat from{static_cast<int>(source.bitsPerSample), static_cast<int>(source.channels)};
    ResamplerState state{};
    uint64_t consumed = 0;
    int count;
    do {
        count = ReadWAV(kSourceSlot, kReadBlockBytes, readBuffer.get());
        if (count < 0)
            count = 0;
        AudioBlock block;
        if (!sorvak::dsp::resampleBlock(readBuffer.get(), static_cast<size_t>(count), from, source.sampleRate, to,
                                        rate, state, speed, speed, block))
            return CopyResult::Failed;
        std::unique_ptr<uint8_t, decltype(&std::free)> owned(block.data, &std::free);
        if (block.size > 0 && std::fwrite(block.data, 1, block.size, output) != block.size)
            return CopyResult::Failed;
        consumed += static_cast<uint64_t>(count);
        if (progress && progress(progressPercent(consumed, source.dataLength)) != 0)
            return CopyResult::Cancelled;
    } while (count == kReadBlockBytes);
    return CopyResult::Finished;
}

}

const char* ResampleWAV(const char* source, const char* destination, int rate, int bits, int channels,
                        double speed, SorvakProgressFunction progress)
{
    if (!source || !destination || !sorvak::dsp::isUsableRate(rate) || !sorvak::dsp::isUsableSpeed(speed)
        || !isSupportedFormat(bits, channels) || isSameFile(source, destination))
        return nullptr;
    SlotCloser slotCloser;
    const WavFormat* opened = OpenWAV(source, kSourceSlot);
    if (!opened)
        return nullptr;
    WavFormat format = *opened;
    // Only PCM the chain can read: anything else would be converted into noise.
    if (format.formatTag != 1 || format.sampleRate == 0
        || !isSupportedFormat(static_cast<int>(format.bitsPerSample), static_cast<int>(format.channels)))
        return nullptr;

    // CreateWAVHeader reports success and a file it could not create alike as 0; only a file that
    // holds exactly the header is ours to fill (and to remove again if the conversion fails). A
    // file it created but could not close properly is ours too.
    if (CreateWAVHeader(destination, rate, bits, channels) != 0) {
        std::remove(destination);
        return nullptr;
    }
    // Declared before the stream, so it outlives the stream's last flush in every way out.
    std::unique_ptr<char[]> outputBuffer(new (std::nothrow) char[kWriteBufferBytes]);
    std::unique_ptr<std::FILE, FileCloser> output(std::fopen(destination, "ab"));
    if (!output || std::fseek(output.get(), 0, SEEK_END) != 0 || std::ftell(output.get()) != sorvak::kWavHeaderSize)
        return nullptr;
    // The blocks are 16 KiB: written through a larger buffer, an hour takes hundreds of writes to
    // the system instead of tens of thousands.
    if (outputBuffer)
        std::setvbuf(output.get(), outputBuffer.get(), _IOFBF, kWriteBufferBytes);
    CopyResult result =
        resampleSlotInto(output.get(), format, SampleFormat{bits, channels}, rate, speed, progress);
    // A cancelled conversion still leaves a valid file with the blocks written so far.
    if (result != CopyResult::Failed && progress)
        progress(0);
    bool failed = result == CopyResult::Failed;
    if (std::fclose(output.release()) != 0)
        failed = true;
    if (failed || !sorvak::finaliseWavHeader(destination)) {
        // No half-made file is left behind.
        std::remove(destination);
        return nullptr;
    }
    return destination;
}
