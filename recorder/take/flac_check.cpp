#include "take/flac_check.h"

#include "core/file_toolbox.h"
#include "core/take_format.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace wavelark {

namespace {

constexpr std::size_t kFrameBytes = 4;

struct DecoderDelete {
    void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};

// The comparison in progress: the source read ahead in blocks, the first difference found.
struct Comparison {
    Comparison(const PcmRegion& source) : expected(source), expectedFrames(source.dataSize() / kFrameBytes) {}

    const PcmRegion& expected;
    uint64_t expectedFrames = 0;
    uint64_t compared = 0; // frames of the file compared so far
    bool streamInfoSeen = false;
    std::optional<std::string> difference;
    std::vector<uint8_t> block = std::vector<uint8_t>(kCopyBlockSize);
    uint64_t blockStart = 0; // the first frame the block holds
    std::size_t blockFrames = 0;

    // The source's sample of a channel in a frame, reading the next block when needed; false
    // (with the difference set) when the source cannot be read there.
    bool sourceFrame(uint64_t frame, int16_t& left, int16_t& right)
    {
        if (frame < blockStart || frame >= blockStart + blockFrames) {
            blockStart = frame;
            blockFrames = 0;
            const std::size_t wanted =
                static_cast<std::size_t>(std::min<uint64_t>(block.size() / kFrameBytes, expectedFrames - frame)) * kFrameBytes;
            const ssize_t got = readFully(expected.descriptor(), block.data(), wanted, expected.dataOffset() + frame * kFrameBytes);
            if (got < 0 || static_cast<std::size_t>(got) != wanted) {
                difference = "the audio it was made from could not be read back";
                return false;
            }
            blockFrames = wanted / kFrameBytes;
        }
        const uint8_t* bytes = block.data() + (frame - blockStart) * kFrameBytes;
        left = static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
        right = static_cast<int16_t>(bytes[2] | (bytes[3] << 8));
        return true;
    }
};

FLAC__StreamDecoderWriteStatus compareFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                            const FLAC__int32* const buffer[], void* context)
{
    Comparison& comparison = *static_cast<Comparison*>(context);
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
        comparison.difference = "it is not 16-bit stereo";
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    for (unsigned index = 0; index < frame->header.blocksize; ++index) {
        const uint64_t at = comparison.compared;
        if (at >= comparison.expectedFrames) {
            comparison.difference = "it holds more audio than the selection";
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        int16_t left = 0;
        int16_t right = 0;
        if (!comparison.sourceFrame(at, left, right))
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        if (buffer[0][index] != left || buffer[1][index] != right) {
            comparison.difference = "frame " + std::to_string(at) + " differs from the selection";
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        ++comparison.compared;
    }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void checkStreamInfo(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* context)
{
    Comparison& comparison = *static_cast<Comparison*>(context);
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
        return;
    comparison.streamInfoSeen = true;
    const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
    if (info.sample_rate != kTakeSampleRate || info.channels != 2 || info.bits_per_sample != 16)
        comparison.difference = "it is not 44100 Hz 16-bit stereo";
    else if (info.total_samples != comparison.expectedFrames)
        comparison.difference = "its stream info states " + std::to_string(info.total_samples) + " frames where "
                                + std::to_string(comparison.expectedFrames) + " were expected";
    else if (std::all_of(std::begin(info.md5sum), std::end(info.md5sum), [](FLAC__byte byte) { return byte == 0; }))
        comparison.difference = "it carries no MD5 signature";
}

// A lost sync, a bad header, a frame whose checksum fails: the file is damaged or cut short.
void noteError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* context)
{
    Comparison& comparison = *static_cast<Comparison*>(context);
    if (!comparison.difference)
        comparison.difference = "it cannot be decoded: the stream is damaged or cut short";
}

}

std::optional<std::string> flacDifference(const std::string& path, const PcmRegion& expected)
{
    std::unique_ptr<FLAC__StreamDecoder, DecoderDelete> decoder(FLAC__stream_decoder_new());
    if (!decoder)
        return std::string("the FLAC decoder could not be started");
    Comparison comparison(expected);
    FLAC__StreamDecoder* raw = decoder.get();
    FLAC__stream_decoder_set_md5_checking(raw, true);
    if (FLAC__stream_decoder_init_file(raw, path.c_str(), compareFrame, checkStreamInfo, noteError, &comparison)
        != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return std::string("it cannot be opened");
    // Stops at the end of the stream, at a callback's abort, or at a broken stream.
    const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(raw);
    // finish compares the MD5 of the decoded audio with the signature: false on a mismatch.
    const bool signatureMatches = FLAC__stream_decoder_finish(raw);
    if (comparison.difference)
        return comparison.difference;
    if (!decoded || !comparison.streamInfoSeen)
        return std::string("it cannot be decoded");
    if (comparison.compared != comparison.expectedFrames)
        return "it holds " + std::to_string(comparison.compared) + " frames where "
               + std::to_string(comparison.expectedFrames) + " were expected";
    if (!signatureMatches)
        return std::string("its MD5 signature does not match its audio");
    return std::nullopt;
}

}
