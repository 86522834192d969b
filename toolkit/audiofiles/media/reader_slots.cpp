#include "audiofiles/media/reader_slots.h"

#include "audiofiles/media/media_decoder.h"

#include <cctype>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

namespace sorvak {

namespace {

// Constant-initialised, so the table is ready before the load hook runs.
ReaderSlot g_slots[kReaderSlotCount];

}

ReaderSlot* readerSlot(int slot)
{
    if (slot < 0 || slot >= kReaderSlotCount)
        return nullptr;
    return &g_slots[slot];
}

bool namesWavFile(const char* path)
{
    if (!path)
        return false;
    std::size_t length = std::strlen(path);
    if (length < 3)
        return false;
    const char* last = path + length - 3;
    return std::toupper(static_cast<unsigned char>(last[0])) == 'W' && std::toupper(static_cast<unsigned char>(last[1])) == 'A'
        && std::toupper(static_cast<unsigned char>(last[2])) == 'V';
}

void startReaderSlots()
{
    for (ReaderSlot& slot : g_slots)
        slot.previousSpeed = 1.0;
    av_log_set_level(AV_LOG_QUIET);
}

}
