// The media-decoder way of a reader slot: one decoded frame a block, at the file's own rate and
// channels, converted on its way out.

#include "audiofiles/media/media_decoder.h"
#include "audiofiles/media/stream_readers.h"

#include <utility>

namespace sorvak {

bool openCompressedStream(ReaderSlot& slot, const char* path, int64_t startTime)
{
    std::unique_ptr<MediaDecoder> decoder = MediaDecoder::open(path);
    if (!decoder)
        return false;
    if (startTime != 0 && !decoder->seek(startTime))
        return false;
    slot.duration = decoder->duration();
    slot.decodedFormat = decoder->format();
    slot.decoder = std::move(decoder);
    return true;
}

int readCompressedStream(ReaderSlot& slot, double speed, DeliveredBlock& block)
{
    DecodedBlock decoded;
    if (!slot.decoder->nextBlock(decoded))
        return -1;
    block = deliverBlock(slot, decoded.samples.data(), static_cast<uint32_t>(decoded.samples.size()), decoded.format,
                         speed);
    block.time = decoded.time;
    // A file whose length the container does not state reports no progress rather than
    // dividing by zero; a block stamped past the stated length reports 100.
    if (slot.duration <= 0)
        return 0;
    int64_t progress = 100 * decoded.time / slot.duration;
    return progress > 100 ? 100 : static_cast<int>(progress);
}

void seekCompressedStream(ReaderSlot& slot, int64_t time)
{
    // SeekWMA has no result to report with: a file that cannot seek goes on from where it was.
    slot.decoder->seek(time);
}

void closeCompressedStream(ReaderSlot& slot)
{
    slot.decoder.reset();
}

}
