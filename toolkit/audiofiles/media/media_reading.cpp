// OpenWMA, ReadWMA, SeekWMA, CloseWMA and GetFormatWMA: the reader slots' exports. A path whose
// last three characters are "WAV" (in any case) is read through the WAV slot of the same number;
// every other file through the media decoder.

#include "audiofiles/media/reader_slots.h"
#include "audiofiles/media/stream_readers.h"
#include "dsp/conversion_limits.h"

#include <cstdlib>

namespace {

using sorvak::ReaderKind;
using sorvak::ReaderSlot;

// Releases what the slot holds; a closed slot is left alone (its WAV slot may be another
// user's).
void closeReaderSlot(ReaderSlot& slot, int number)
{
    if (slot.kind == ReaderKind::Wav)
        sorvak::closeWavStream(slot, number);
    else if (slot.kind == ReaderKind::Compressed)
        sorvak::closeCompressedStream(slot);
    slot.kind = ReaderKind::Closed;
}

}

int OpenWMA(int slot, const char* path, int64_t startTime, int64_t* duration)
{
    ReaderSlot* reader = sorvak::readerSlot(slot);
    if (!reader || !path)
        return 0;
    // Opening a slot that is still open releases what it held first.
    closeReaderSlot(*reader, slot);
    reader->resamplerState = ResamplerState {};
    reader->decodedFormat = WAVEFORMATEX {};
    reader->duration = 0;

    bool wav = sorvak::namesWavFile(path);
    bool opened = wav ? sorvak::openWavStream(*reader, slot, path, startTime)
                      : sorvak::openCompressedStream(*reader, path, startTime);
    if (!opened)
        return 0;
    reader->kind = wav ? ReaderKind::Wav : ReaderKind::Compressed;
    if (duration)
        *duration = reader->duration;
    return 1;
}

int ReadWMA(int slot, void** buffer, int32_t* length, int64_t* time, double speed, int32_t)
{
    ReaderSlot* reader = sorvak::readerSlot(slot);
    sorvak::DeliveredBlock block;
    int progress = -1;
    // A refused speed reads nothing: the slot stays where it was, with its previous speed.
    if (!sorvak::dsp::isUsableSpeed(speed))
        reader = nullptr;
    if (reader && reader->kind == ReaderKind::Wav)
        progress = sorvak::readWavStream(*reader, slot, speed, block);
    else if (reader && reader->kind == ReaderKind::Compressed)
        progress = sorvak::readCompressedStream(*reader, speed, block);

    if (progress < 0) {
        if (buffer)
            *buffer = nullptr;
        if (length)
            *length = 0;
        return -1;
    }
    if (buffer)
        *buffer = block.data;  // Owned by the caller from here on
    else
        std::free(block.data);
    if (length)
        *length = block.length;
    if (time)
        *time = block.time;
    return progress;
}

void SeekWMA(int slot, int64_t time)
{
    ReaderSlot* reader = sorvak::readerSlot(slot);
    if (reader && reader->kind == ReaderKind::Wav)
        sorvak::seekWavStream(*reader, slot, time);
    else if (reader && reader->kind == ReaderKind::Compressed)
        sorvak::seekCompressedStream(*reader, time);
}

void CloseWMA(int slot)
{
    if (ReaderSlot* reader = sorvak::readerSlot(slot))
        closeReaderSlot(*reader, slot);
}

WAVEFORMATEX* GetFormatWMA(int slot)
{
    ReaderSlot* reader = sorvak::readerSlot(slot);
    return reader ? &reader->decodedFormat : nullptr;
}
