// The two ways a reader slot reads its file: a WAV file through the WAV slot of the same
// number, cut into 1024-byte blocks; any other file through the media decoder, one decoded
// frame a block. Both hand out blocks converted to 44100 Hz, 16-bit stereo (malloc'ed; the
// caller frees them) and return the progress in percent, or -1 at the end.
#pragma once

#include "audiofiles/media/reader_slots.h"

#include <cstdint>

namespace sorvak {

// What ReadWMA hands out for one block.
struct DeliveredBlock {
    void* data = nullptr;  // malloc'ed, owned by the receiver
    int32_t length = 0;    // bytes
    int64_t time = 0;      // 100-ns units
};

// Converts one block of the slot's stream to 44100 Hz, 16-bit stereo with the slot's resampler
// state, gliding from the previous speed factor to this one, and remembers the speed factor,
// which is positive and finite (ReadWMA refuses any other).
DeliveredBlock deliverBlock(ReaderSlot& slot, const void* data, uint32_t size, const WAVEFORMATEX& format, double speed);

// WAV files. openWavStream opens the WAV slot `number` and starts at the whole second at or
// before startTime; false (the WAV slot closed again) for a file that is not PCM in 8 or 16 bits
// with one or two channels.
bool openWavStream(ReaderSlot& slot, int number, const char* path, int64_t startTime);
int readWavStream(ReaderSlot& slot, int number, double speed, DeliveredBlock& block);
void seekWavStream(ReaderSlot& slot, int number, int64_t time);
void closeWavStream(ReaderSlot& slot, int number);

// Other files.
bool openCompressedStream(ReaderSlot& slot, const char* path, int64_t startTime);
int readCompressedStream(ReaderSlot& slot, double speed, DeliveredBlock& block);
void seekCompressedStream(ReaderSlot& slot, int64_t time);
void closeCompressedStream(ReaderSlot& slot);

}
