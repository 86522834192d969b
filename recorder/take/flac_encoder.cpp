#include "take/flac_encoder.h"

#include "take/archive_side_file.h"

#include "core/file_toolbox.h"
#include "core/take_format.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace wavelark {

namespace {

constexpr unsigned kChannels = 2;
constexpr unsigned kBitsPerSample = 16;
constexpr std::size_t kFrameBytes = 4;

struct EncoderDelete {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
struct MetadataDelete {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
};
using Encoder = std::unique_ptr<FLAC__StreamEncoder, EncoderDelete>;
using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDelete>;

bool isSet(const char* text)
{
    return text && *text;
}

bool appendComment(FLAC__StreamMetadata* block, const char* name, const std::string& value)
{
    if (value.empty())
        return true;
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name, value.c_str()))
        return false;
    // The block takes the entry's text over (copy false).
    return FLAC__metadata_object_vorbiscomment_append_comment(block, entry, false);
}

// The Vorbis comment block of the tags; null when there is none to write or it cannot be made.
Metadata commentBlock(const SorvakTags* tags, bool& failed)
{
    failed = false;
    if (!hasTags(tags))
        return nullptr;
    auto text = [](const char* value) { return std::string(isSet(value) ? value : ""); };
    Metadata block(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    const bool track = tags->trackNumber > 0;
    failed = !block || !appendComment(block.get(), "TITLE", text(tags->title))
             || !appendComment(block.get(), "ARTIST", text(tags->artist))
             || !appendComment(block.get(), "ALBUM", text(tags->album)) || !appendComment(block.get(), "DATE", text(tags->year))
             || !appendComment(block.get(), "TRACKNUMBER", track ? std::to_string(tags->trackNumber) : std::string())
             || !appendComment(block.get(), "TRACKTOTAL",
                               track && tags->trackCount > 0 ? std::to_string(tags->trackCount) : std::string());
    return failed ? nullptr : std::move(block);
}

// The encoder's own account of a failure; a write that failed is told by the system's reason.
std::string encoderFailure(FLAC__StreamEncoder* encoder, const std::string& path, int systemError)
{
    const FLAC__StreamEncoderState state = FLAC__stream_encoder_get_state(encoder);
    if (state == FLAC__STREAM_ENCODER_IO_ERROR || state == FLAC__STREAM_ENCODER_CLIENT_ERROR)
        return "the FLAC file could not be written: " + writeFailureReason(path, systemError);
    return std::string("the FLAC encoder failed (") + FLAC__StreamEncoderStateString[state] + ")";
}

}

bool hasTags(const SorvakTags* tags)
{
    return tags
           && (isSet(tags->title) || isSet(tags->artist) || isSet(tags->album) || isSet(tags->year) || tags->trackNumber > 0);
}

std::optional<std::string> encodeFlac(const PcmRegion& source, const std::string& path, int level, const SorvakTags* tags,
                                      SorvakProgressFunction progress, const std::function<void()>& afterBlock)
{
    const uint64_t frames = source.dataSize() / kFrameBytes;
    Encoder encoder(FLAC__stream_encoder_new());
    if (!encoder)
        return std::string("the FLAC encoder could not be started");
    bool tagsFailed = false;
    Metadata comments = commentBlock(tags, tagsFailed);
    if (tagsFailed)
        return std::string("the tags could not be prepared for the FLAC file");
    FLAC__StreamMetadata* blocks[] = {comments.get()};
    FLAC__StreamEncoder* raw = encoder.get();
    // libFLAC always computes the MD5 signature of the audio for a file; the read-back relies on it.
    const bool configured = FLAC__stream_encoder_set_channels(raw, kChannels)
                            && FLAC__stream_encoder_set_bits_per_sample(raw, kBitsPerSample)
                            && FLAC__stream_encoder_set_sample_rate(raw, kTakeSampleRate)
                            && FLAC__stream_encoder_set_compression_level(raw, static_cast<unsigned>(level))
                            && FLAC__stream_encoder_set_total_samples_estimate(raw, frames)
                            && (!comments || FLAC__stream_encoder_set_metadata(raw, blocks, 1));
    if (!configured)
        return std::string("the FLAC encoder could not be set up");
    errno = 0;
    if (FLAC__stream_encoder_init_file(raw, path.c_str(), nullptr, nullptr) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return encoderFailure(raw, path, errno);

    const std::size_t blockFrames = kCopyBlockSize / kFrameBytes;
    std::vector<uint8_t> bytes(kCopyBlockSize);
    std::vector<FLAC__int32> samples(blockFrames * kChannels);
    std::optional<std::string> failure;
    uint64_t encoded = 0;
    while (encoded < frames && !failure) {
        const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(blockFrames, frames - encoded));
        const std::size_t wanted = count * kFrameBytes;
        const ssize_t got = readFully(source.descriptor(), bytes.data(), wanted, source.dataOffset() + encoded * kFrameBytes);
        if (got < 0)
            failure = "the audio could not be read: " + systemReason();
        else if (static_cast<std::size_t>(got) != wanted)
            failure = std::string("the audio ended before the selection did");
        if (failure)
            break;
        // Little-endian 16-bit samples, whatever the machine's order.
        for (std::size_t index = 0; index < count * kChannels; ++index)
            samples[index] = static_cast<int16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
        errno = 0;
        if (!FLAC__stream_encoder_process_interleaved(raw, samples.data(), static_cast<unsigned>(count))) {
            failure = encoderFailure(raw, path, errno);
            break;
        }
        encoded += count;
        if (afterBlock)
            afterBlock();
        if (progress && progress(wholePercent(encoded, frames)) != 0 && encoded < frames)
            failure = std::string("the save was cancelled");
    }
    // finish writes the last frame and the final STREAMINFO (count and MD5) at the file's start.
    errno = 0;
    const bool finished = FLAC__stream_encoder_finish(raw);
    if (!failure && !finished)
        failure = encoderFailure(raw, path, errno);
    return failure;
}

}
