// StreamBuffer: re-blocks a stream of chunks of any size into blocks of one fixed size.

#include "sorvak.h"

#include <cstdlib>
#include <cstring>

namespace {

int feed(StreamBufferRecord& record)
{
    // A block with no room (size 0, or a fill a caller corrupted) could never be filled.
    if (!record.source || !record.block || record.fill >= record.blockSize)
        return 0;
    uint32_t room = record.blockSize - record.fill;
    if (record.fill + record.sourceLength < record.blockSize) {
        std::memcpy(record.block + record.fill, record.source + record.sourceOffset, record.sourceLength);
        record.fill += record.sourceLength;
        // The source length stays as it is: the caller sets it for the next chunk.
        record.sourceOffset = 0;
        return 0;
    }
    std::memcpy(record.block + record.fill, record.source + record.sourceOffset, room);
    record.sourceLength -= room;
    record.sourceOffset += room;
    record.fill = 0;
    return 1;
}

}

SORVAK_API int StreamBuffer(StreamBufferRecord* record, int operation)
{
    if (!record)
        return 0;
    switch (operation) {
    case 0:
        record->sourceOffset = 0;
        record->fill = 0;
        // At least one byte, so that a block of size 0 still counts as allocated.
        record->block = static_cast<uint8_t*>(std::calloc(record->blockSize ? record->blockSize : 1, 1));
        return 0;
    case 1:
        return feed(*record);
    case 2:
        std::free(record->block);
        // Cleared so that freeing twice, or feeding after the free, does nothing.
        record->block = nullptr;
        return 0;
    case 3:
        record->sourceOffset = 0;
        record->fill = 0;
        record->sourceLength = 0;
        if (record->block)
            std::memset(record->block, 0, record->blockSize);
        return 0;
    default:
        return 0;
    }
}
