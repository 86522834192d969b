// The WAV slot table: ten process-wide slots, chosen by the caller, each holding the format
// record of an opened WAV file and a buffered stream over its sample bytes. Callers use one
// slot from one thread at a time; separate slots share nothing.

#include "audiofiles/wav_format.h"
#include "sorvak.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kSlotCount = 10;
constexpr std::size_t kStreamBufferBytes = 262144;

struct WavSlot {
    std::FILE* dataStream = nullptr;
    // Byte offset within the data chunk of the next read. 64 bits so that a read crossing the
    // end of a data chunk of nearly 4 GiB cannot wrap.
    uint64_t position = 0;
    WavFormat format {};
};

WavSlot wavSlots[kSlotCount];

WavSlot* slotAt(int slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return nullptr;
    return &wavSlots[slot];
}

void closeSlot(WavSlot& slot)
{
    if (slot.dataStream)
        std::fclose(slot.dataStream);
    slot.dataStream = nullptr;
}

}

SORVAK_API WavFormat* OpenWAV(const char* path, int slot)
{
    WavSlot* entry = slotAt(slot);
    if (!entry)
        return nullptr;
    // Reopening a slot that is still open releases its stream rather than leaking it.
    closeSlot(*entry);
    entry->format = WavFormat {};
    entry->position = 0;
    WavFormat format {};
    sorvak::RiffReader reader;
    if (sorvak::readWavFormat(path, reader, format))
        return nullptr;
    // The sample stream reads the very file whose chunks were walked, not whatever the path
    // names by now.
    int descriptor = reader.releaseDescriptor();
    std::FILE* stream = fdopen(descriptor, "rb");
    if (!stream) {
        close(descriptor);
        return nullptr;
    }
    // Readers take the data in blocks of a few KiB: the stream reads ahead in larger ones.
    std::setvbuf(stream, nullptr, _IOFBF, kStreamBufferBytes);
    if (fseeko(stream, static_cast<off_t>(format.dataOffset), SEEK_SET) != 0) {
        std::fclose(stream);
        return nullptr;
    }
    entry->format = format;
    entry->dataStream = stream;
    return &entry->format;
}

SORVAK_API int ReadWAV(int slot, int count, void* buffer)
{
    WavSlot* entry = slotAt(slot);
    if (!entry || !entry->dataStream || !buffer || count <= 0)
        return 0;
    uint64_t dataLength = entry->format.dataLength;
    if (entry->position >= dataLength)
        return 0;
    // The read stops at the end of the data chunk: the count is the same as reading on and
    // discounting the bytes of a following chunk, and those bytes never reach the buffer.
    size_t wanted = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(count), dataLength - entry->position));
    size_t delivered = std::fread(buffer, 1, wanted, entry->dataStream);
    entry->position += delivered;
    return static_cast<int>(delivered);
}

SORVAK_API uint32_t SeekWAV(int slot, uint32_t position)
{
    WavSlot* entry = slotAt(slot);
    if (!entry || !entry->dataStream)
        return 0;
    // A format with a block alignment of 0 has no frames to round to.
    uint32_t blockAlign = entry->format.blockAlign;
    if (blockAlign > 1)
        position -= position % blockAlign;
    if (position > entry->format.dataLength)
        position = 0;
    entry->position = position;
    // A successful seek also clears the stream's end flag, so reading resumes after an end.
    off_t target = static_cast<off_t>(entry->format.dataOffset) + static_cast<off_t>(position);
    if (fseeko(entry->dataStream, target, SEEK_SET) != 0) {
        // The stream stands somewhere unknown: deliver no wrong bytes, report the start.
        entry->position = entry->format.dataLength;
        return 0;
    }
    return position;
}

SORVAK_API void CloseWAV(int slot)
{
    if (WavSlot* entry = slotAt(slot))
        closeSlot(*entry);
}
