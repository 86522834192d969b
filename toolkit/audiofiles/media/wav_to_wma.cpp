// WAV2WMA: the recorder's 44100 Hz, 16-bit stereo WAV file (its 44-byte header skipped, not
// parsed) to a WMA file at 64 kbit/s (bit-rate argument 64) or 128 kbit/s (any other value).
// The source is fed in writer samples of 32768 bytes (8192 frames); sample k stands at
// k x 1 857 596 (8192 / 44100 s, truncated to 100 ns), which is where the encoder's count of
// samples puts it.

#include "audiofiles/media/conversion_progress.h"
#include "audiofiles/media/wma_writer.h"
#include "sorvak.h"

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr long kWavHeaderBytes = 44;
constexpr std::size_t kWriterSampleBytes = 32768;
constexpr uint64_t kMostWriterSamples = 10000000;
constexpr int kFailed = -1;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

int bitsPerSecond(int bitRate)
{
    return bitRate == 64 ? 64000 : 128000;
}

// Feeds the samples after the header to the writer; false when the source or the writer fails.
// A non-zero progress result ends the conversion early, which is not a failure.
bool feedWriter(std::FILE* input, uint64_t sourceLength, sorvak::WmaWriter& writer, SorvakProgressFunction progress)
{
    uint64_t estimatedSamples = sourceLength / kWriterSampleBytes;
    if (std::fseek(input, kWavHeaderBytes, SEEK_SET) != 0)
        return false;
    std::vector<uint8_t> sample(kWriterSampleBytes);
    for (uint64_t number = 0;; ++number) {
        if (progress && progress(sorvak::conversionProgress(estimatedSamples, number)) != 0)
            return true;
        std::size_t count = std::fread(sample.data(), 1, sample.size(), input);
        if (!writer.write(sample.data(), count))
            return false;
        if (count < sample.size() || number + 1 >= kMostWriterSamples)
            break;
    }
    return !std::ferror(input);
}

// The one conversion behind both exports; tags null writes no attributes.
int encodeWavToWma(const char* source, const char* destination, int bitRate, const SorvakTags* tags,
                   SorvakProgressFunction progress)
{
    if (!source || !destination)
        return kFailed;
    std::unique_ptr<std::FILE, FileCloser> input(std::fopen(source, "rb"));
    if (!input || fseeko(input.get(), 0, SEEK_END) != 0)
        return kFailed;
    off_t sourceLength = ftello(input.get());
    if (sourceLength < 0)
        return kFailed;

    std::unique_ptr<sorvak::WmaWriter> writer = sorvak::WmaWriter::create(destination, bitsPerSecond(bitRate), tags);
    if (!writer)
        return kFailed;
    bool written = feedWriter(input.get(), static_cast<uint64_t>(sourceLength), *writer, progress);
    written = written && writer->finish();
    writer.reset();
    if (!written) {
        std::remove(destination);
        return kFailed;
    }
    return std::fclose(input.release());
}

}

int WAV2WMA(const char* source, const char* destination, int bitRate, SorvakProgressFunction progress)
{
    return encodeWavToWma(source, destination, bitRate, nullptr, progress);
}

int WAV2WMATagged(const char* source, const char* destination, int bitRate, const SorvakTags* tags,
                  SorvakProgressFunction progress)
{
    return encodeWavToWma(source, destination, bitRate, tags, progress);
}
