// The reader slot table: ten process-wide slots (0..9, chosen by the caller) through which
// OpenWMA/ReadWMA/SeekWMA/CloseWMA read a file as a stream of 44100 Hz, 16-bit stereo blocks.
// A slot reads a WAV file through the WAV slot of the same number and the stream re-blocker, or
// any other file through the media decoder. Not locked: one thread at a time.
#pragma once

#include "sorvak.h"

#include <cstdint>
#include <memory>

namespace sorvak {

class MediaDecoder;

enum class ReaderKind {
    Closed,
    Wav,         // read through the WAV slot of the same number
    Compressed,  // read through the media decoder
};

struct ReaderSlot {
    ReaderKind kind = ReaderKind::Closed;
    int64_t duration = 0;  // 100-ns units
    // Format of the blocks before conversion: the decoder's output, or the WAV file's format.
    WAVEFORMATEX decodedFormat {};
    // Carried between the blocks of one stream; zeroed when the slot is opened.
    ResamplerState resamplerState {};
    // The speed factor of the preceding ReadWMA; 1.0 when the toolkit loads, kept across opens.
    double previousSpeed = 1.0;

    // Compressed files.
    std::unique_ptr<MediaDecoder> decoder;

    // WAV files.
    WavFormat wavFormat {};          // copy of the WAV slot's format record
    uint32_t wavPosition = 0;        // read position within the data chunk
    int64_t wavFrameDuration = 0;    // P: 10 000 000 / sample rate, truncated
    std::unique_ptr<uint8_t[]> sourceBuffer;  // the last 64 KiB read
    StreamBufferRecord reblocker {};          // cuts the raw bytes into 1024-byte blocks
};

inline constexpr int kReaderSlotCount = 10;

// The slot, or null for a number outside 0..9.
ReaderSlot* readerSlot(int slot);

// Whether a path is read as a WAV file: its last three characters, upper-cased, are "WAV"
// (whatever the file holds).
bool namesWavFile(const char* path);

// Called when the toolkit loads: every slot's previous speed factor becomes 1.0, and the media
// libraries are kept from writing to the process's standard error (the toolkit has no log).
void startReaderSlots();

}
