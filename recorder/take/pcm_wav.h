// PCM WAV files for the save: the temporary WAV made from a range of the raw take (the toolkit's
// 44-byte header, then the range's bytes), its size fields, and the opening of a WAV file's data
// for the block passes.
//
// Thread: the window thread (long operations); the progress functions are called after each
// block. The toolkit must be bound (g_toolkit) before copyRangeToTemporaryWav.
// Errors: a SaveResult (take/save_result.h) or, for openPcmWav, nothing with the reason.
#pragma once

#include "take/pcm_blocks.h"
#include "take/save_result.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wavelark {

// Copies the range of the raw take into a fresh temporary WAV: the toolkit's 44-byte header for
// 44100 Hz, 16-bit stereo, then the range's bytes in 1 MiB blocks, then the two size fields set
// from the file's length (fixWavSizes). progress gets wholePercent(copied, range bytes) after
// every block. Fails when the range does not lie within the take, when the take cannot be read
// to the range's end, or when the temporary file cannot be created or written; the temporary
// file then holds no complete copy and must not be converted.
SaveResult copyRangeToTemporaryWav(const std::string& takePath, SaveRange range, const std::string& temporaryPath,
                                   const BlockProgress& progress);

// Checks that the range can be read from the raw take at takePath: whole frames, not empty, a
// regular file that reaches the range's end. The failures are copyRangeToTemporaryWav's
// (InvalidRange, TakeUnreadable), with the same messages.
SaveResult checkTakeRange(const std::string& takePath, SaveRange range);

// Rewrites the RIFF size (offset 4) and the data size (offset 40) of a WAV file with a 44-byte
// header from its length L: L - 36 and L - 44.
SaveResult fixWavSizes(const std::string& path);

// The "fmt " fields of a PCM WAV file.
struct PcmWavFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t averageBytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraFormatSize = 0;
};

// An open PCM WAV file: its format and its data chunk as a region for the block passes.
struct PcmWav {
    PcmWavFormat format;
    PcmRegion region; // the "data" body, opened for reading and writing (or reading only)
};

enum class PcmAccess { ReadWrite, ReadOnly };

// Opens a WAV file's data for the block passes: the RIFF/WAVE form, its "fmt " chunk (up to 18
// bytes of format), then the "data" chunk after it. Only regular files longer than 44 bytes with
// format tag 1, 8 or 16 bits, 1 or 2 channels and 2000..88200 Hz are accepted; a data chunk that
// claims more than the file holds is cut to the file. Nothing, with the reason in error, otherwise.
std::optional<PcmWav> openPcmWav(const std::string& path, std::string* error = nullptr,
                                 PcmAccess access = PcmAccess::ReadWrite);

}
