// The recorder saves its takes as MP3 through this converter. The encoder settings match the
// ones its files have always had: constant bit rate, MPEG-1 at the source rate (no resampling),
// plain stereo (not joint), the original flag set, no bit reservoir and no variable bit rate;
// the information ("Info") tag is filled in at the end, over the frame the encoder reserves
// for it at the start of the file.

#include "mp3/wav_to_mp3.h"

#include "audiofiles/media/conversion_progress.h"
#include "mp3/id3_tag.h"
#include "mp3/lame_binding.h"
#include "sorvak.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using sorvak::LameFunctions;

// The source's header is skipped, not parsed: the recorder writes the canonical 44 bytes.
constexpr long kWavHeaderBytes = 44;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Owns one encoder stream of the bound library.
class EncoderStream {
public:
    EncoderStream(const LameFunctions& lame, lame_global_flags* encoder)
        : m_lame(lame)
        , m_encoder(encoder)
    {
    }
    ~EncoderStream()
    {
        if (m_encoder)
            m_lame.close(m_encoder);
    }
    EncoderStream(const EncoderStream&) = delete;
    EncoderStream& operator=(const EncoderStream&) = delete;

    lame_global_flags* get() const { return m_encoder; }

private:
    const LameFunctions& m_lame;
    lame_global_flags* m_encoder;
};

// Null when the encoder cannot be created or refuses the settings. Tags, when given, must hold
// a field (hasAnyTag).
lame_global_flags* createEncoder(const LameFunctions& lame, int bitRate, int sampleRate, const SorvakTags* tags)
{
    lame_global_flags* encoder = lame.init();
    if (!encoder)
        return nullptr;
    bool configured = lame.setNumChannels(encoder, 2) == 0
        && lame.setInSampleRate(encoder, sampleRate) == 0
        && lame.setOutSampleRate(encoder, sampleRate) == 0
        && lame.setBitRate(encoder, bitRate) == 0
        && lame.setMode(encoder, STEREO) == 0
        && lame.setVbr(encoder, vbr_off) == 0
        && lame.setOriginal(encoder, 1) == 0
        && lame.setDisableReservoir(encoder, 1) == 0
        && lame.setWriteInfoTag(encoder, 1) == 0
        && (!tags || sorvak::setId3Tags(lame, encoder, *tags))
        && lame.initParams(encoder) >= 0;
    if (!configured) {
        lame.close(encoder);
        return nullptr;
    }
    return encoder;
}

bool writeAll(std::FILE* file, const unsigned char* bytes, int count)
{
    if (count < 0)
        return false;
    return std::fwrite(bytes, 1, static_cast<std::size_t>(count), file) == static_cast<std::size_t>(count);
}

// Encodes the samples after the header, reporting progress per chunk; a non-zero progress
// result ends the loop after that chunk's output is written. Then flushes the encoder.
sorvak::Mp3Result encodeSamples(const LameFunctions& lame, lame_global_flags* encoder, std::FILE* input,
                                std::uint64_t sourceLength, std::FILE* output, SorvakProgressFunction progress)
{
    int frameSize = lame.getFrameSize(encoder);
    if (frameSize <= 0)
        return sorvak::kMp3EncoderFailed;
    // One chunk is one MPEG frame of both channels; the output buffer is the encoder's own
    // worst case for that many samples (and at least the 7200 bytes a flush may need).
    std::size_t samplesPerChunk = static_cast<std::size_t>(frameSize) * 2;
    std::vector<short> inputChunk(samplesPerChunk);
    std::vector<unsigned char> outputChunk(static_cast<std::size_t>(frameSize) * 5 / 4 + 7200);
    int outputCapacity = static_cast<int>(outputChunk.size());

    // The estimate counts the header bytes too, as the progress has always been reported.
    std::uint64_t estimatedChunks = (sourceLength / 2) / samplesPerChunk;
    if (std::fseek(input, kWavHeaderBytes, SEEK_SET) != 0)
        return sorvak::kMp3SourceUnreadable;

    for (std::uint64_t chunk = 1;; ++chunk) {
        std::size_t samples = std::fread(inputChunk.data(), 2, samplesPerChunk, input);
        if (samples == 0)
            break;
        int bytes = lame.encodeInterleaved(encoder, inputChunk.data(), static_cast<int>(samples / 2),
                                           outputChunk.data(), outputCapacity);
        if (bytes < 0)
            return sorvak::kMp3EncoderFailed;
        bool cancelled = progress && progress(sorvak::conversionProgress(estimatedChunks, chunk)) != 0;
        // Written even when cancelled: the encoder counts every frame it hands out into the
        // information tag, and the first output carries the frame reserved for the tag, so
        // dropped output would leave a tag that claims more than the file holds. Keeping the
        // chunk also gives a cancel at the first call two frames of audio after the tag frame,
        // the fewest ffmpeg accepts.
        if (!writeAll(output, outputChunk.data(), bytes))
            return sorvak::kMp3DestinationUnwritable;
        if (cancelled)
            break;
    }
    if (std::ferror(input))
        return sorvak::kMp3SourceUnreadable;

    int flushed = lame.encodeFlush(encoder, outputChunk.data(), outputCapacity);
    if (flushed < 0)
        return sorvak::kMp3EncoderFailed;
    if (!writeAll(output, outputChunk.data(), flushed))
        return sorvak::kMp3DestinationUnwritable;
    return sorvak::kMp3Success;
}

// Writes the encoder's ID3v2 tag at the start of the file; its size, in bytes, goes to tagBytes
// (0 when the encoder has no tag).
sorvak::Mp3Result writeId3Tag(const LameFunctions& lame, lame_global_flags* encoder, std::FILE* output,
                              long& tagBytes)
{
    tagBytes = 0;
    std::size_t size = lame.getId3Version2Tag(encoder, nullptr, 0);
    if (size == 0)
        return sorvak::kMp3Success;
    std::vector<unsigned char> tag(size);
    if (lame.getId3Version2Tag(encoder, tag.data(), tag.size()) != size)
        return sorvak::kMp3EncoderFailed;
    if (std::fwrite(tag.data(), 1, size, output) != size)
        return sorvak::kMp3DestinationUnwritable;
    tagBytes = static_cast<long>(size);
    return sorvak::kMp3Success;
}

// Overwrites the frame reserved at the start of the audio, right after the ID3v2 tag when there
// is one (tagBytes), with the finished information tag.
sorvak::Mp3Result writeInfoTag(const LameFunctions& lame, lame_global_flags* encoder, std::FILE* output,
                               long tagBytes)
{
    std::vector<unsigned char> tag(8192);
    std::size_t size = lame.getInfoTagFrame(encoder, tag.data(), tag.size());
    if (size == 0 || size > tag.size())
        return sorvak::kMp3EncoderFailed;
    if (std::fseek(output, tagBytes, SEEK_SET) != 0 || std::fwrite(tag.data(), 1, size, output) != size)
        return sorvak::kMp3DestinationUnwritable;
    return sorvak::kMp3Success;
}

// The one conversion behind both exports; tags null (or without a field) writes no ID3 tag.
int encodeWavToMp3(const char* source, const char* destination, int bitRate, int sampleRate, const SorvakTags* tags,
                   SorvakProgressFunction progress)
{
    const LameFunctions* lame = sorvak::lameFunctions();
    if (!lame)
        return 0;
    if (!source)
        return sorvak::kMp3SourceUnreadable;
    if (!destination)
        return sorvak::kMp3DestinationUnwritable;

    File input(std::fopen(source, "rb"));
    if (!input || std::fseek(input.get(), 0, SEEK_END) != 0)
        return sorvak::kMp3SourceUnreadable;
    long sourceLength = std::ftell(input.get());
    if (sourceLength < 0)
        return sorvak::kMp3SourceUnreadable;

    if (sampleRate <= 0 || bitRate < 0)
        return sorvak::kMp3EncoderFailed;
    if (tags && !sorvak::hasAnyTag(*tags))
        tags = nullptr;
    EncoderStream encoder(*lame, createEncoder(*lame, bitRate, sampleRate, tags));
    if (!encoder.get())
        return sorvak::kMp3EncoderFailed;

    File output(std::fopen(destination, "wb+"));
    if (!output)
        return sorvak::kMp3DestinationUnwritable;

    long tagBytes = 0;
    sorvak::Mp3Result result = writeId3Tag(*lame, encoder.get(), output.get(), tagBytes);
    if (result == sorvak::kMp3Success)
        result = encodeSamples(*lame, encoder.get(), input.get(), static_cast<std::uint64_t>(sourceLength),
                               output.get(), progress);
    if (result == sorvak::kMp3Success)
        result = writeInfoTag(*lame, encoder.get(), output.get(), tagBytes);
    if (std::fclose(output.release()) != 0 && result == sorvak::kMp3Success)
        result = sorvak::kMp3DestinationUnwritable;
    if (result != sorvak::kMp3Success)
        std::remove(destination);
    return result;
}

}

int WAV2MP3(const char* source, const char* destination, int bitRate, int sampleRate,
            SorvakProgressFunction progress)
{
    return encodeWavToMp3(source, destination, bitRate, sampleRate, nullptr, progress);
}

int WAV2MP3Tagged(const char* source, const char* destination, int bitRate, int sampleRate, const SorvakTags* tags,
                  SorvakProgressFunction progress)
{
    return encodeWavToMp3(source, destination, bitRate, sampleRate, tags, progress);
}
