// Saving a part of the take: the range of the raw take is copied into the temporary WAV file
// (temp.wav in the data folder), the fades and the optional maximise are applied to that file in
// place, and one of the toolkit's converters writes the archive file from it, which is then read
// back and checked.
//
// Thread: the window thread, like every long operation of the recorder. Nothing here touches a
// widget: the caller shows progress and pumps events from the progress functions, which are
// called after each block (the copy's 1 MiB blocks, the passes' 64 KiB blocks) or by the
// toolkit's converter. The toolkit must be bound (g_toolkit) before any call.
//
// Errors: every step returns a SaveResult. A failed step names what failed and why (the
// system's reason where there is one) in words fit for a message box, and says what was kept;
// a step never reports success for a half result. The temporary file is the caller's path and
// stays where it is after a save, whatever the outcome.
#pragma once

#include "take/pcm_blocks.h"

#include "sorvak.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wavelark {

// The archive formats, in the order of the save dialog's format list.
enum class SaveFormat { Mp3 = 0, Wma = 1, Wav = 2 };
// The qualities, in the order of the save dialog's quality list.
enum class SaveQuality { High = 0, Medium = 1, Low = 2 };

// ".mp3", ".wma" or ".wav".
const char* saveExtension(SaveFormat format);

// What a converter is asked for, by format and quality: MP3 at 256/128/64 kbit/s and 44100 Hz;
// WMA always with the bit-rate value 192 (the toolkit writes 128 kbit/s); WAV at 44100/16,
// 22050/16 or 11025/8, two channels, speed 1.0.
struct ConversionSettings {
    int mp3BitRate = 0;    // kbit/s, MP3 only
    int wmaBitRate = 0;    // WMA only
    int wavSampleRate = 0; // WAV only
    int wavBits = 0;       // WAV only
};
ConversionSettings conversionSettings(SaveFormat format, SaveQuality quality);

// The part of the take to save: byte offsets into the raw take, whole frames (multiples of 4),
// end greater than start.
struct SaveRange {
    uint32_t start = 0;
    uint32_t end = 0;
    bool valid() const { return start % 4 == 0 && end % 4 == 0 && end > start; }
    uint32_t bytes() const { return end - start; }
};

// The fades and the maximise of a save. A fade whose box is on with a length of 0 ms is no fade.
struct FadeSettings {
    bool fadeInOn = false;
    uint32_t fadeInMilliseconds = 0;
    bool fadeOutOn = false;
    uint32_t fadeOutMilliseconds = 0;
    bool maximiseOn = false;
};

enum class SaveFailure {
    None,
    InvalidRange,      // the range is empty, not whole frames, or reaches past the take
    TakeUnreadable,    // the raw take cannot be opened or read
    TemporaryFile,     // the temporary WAV cannot be created, written (disk full) or read back
    Conversion,        // the converter failed or is unavailable; no archive file was left
    Verification,      // the written file is missing or its length does not match the range
};

struct SaveResult {
    SaveFailure failure = SaveFailure::None;
    std::string message; // empty on success; otherwise what failed, why, and what was kept
    bool ok() const { return failure == SaveFailure::None; }
};

// Copies the range of the raw take into a fresh temporary WAV: the toolkit's 44-byte header for
// 44100 Hz, 16-bit stereo, then the range's bytes in 1 MiB blocks, then the two size fields set
// from the file's length (fixWavSizes). progress gets trunc(100 × copied / range bytes) after
// every block. Fails when the range does not lie within the take, when the take cannot be read
// to the range's end, or when the temporary file cannot be created or written; the temporary
// file then holds no complete copy and must not be converted.
SaveResult copyRangeToTemporaryWav(const std::string& takePath, SaveRange range, const std::string& temporaryPath,
                                   const BlockProgress& progress);

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
    PcmRegion region; // the "data" body, opened for reading and writing
};

// Opens a WAV file's data for the block passes: the RIFF/WAVE form, its "fmt " chunk (up to 18
// bytes of format), then the "data" chunk after it. Only regular files longer than 44 bytes with
// format tag 1, 8 or 16 bits, 1 or 2 channels and 2000..88200 Hz are accepted; a data chunk that
// claims more than the file holds is cut to the file. Nothing, with the reason in error, otherwise.
std::optional<PcmWav> openPcmWav(const std::string& path, std::string* error = nullptr);

// What the fade and maximise pass did.
struct FadePassResult {
    SaveResult result;      // a read or write that failed part-way (the file is then unusable)
    bool applied = false;   // false when the file is not 44100 Hz 16-bit stereo PCM: left as it was
    std::string skipReason; // why the pass was skipped
    int16_t peak = 0;       // the largest sample found by the scan (maximise on)
    double gain = 1.0;      // the maximise gain E: 32767 / peak, or 1.0 (maximise off, or no positive sample)
};

// Every sample through fadeGain × sample × maximiseGain (multiplied in that order), held to
// -32766..32766 and truncated toward zero: the pass's arithmetic for a run of frames whose fade
// gain stands still. Vectorised where the processor allows, with the same results.
void scaleFadedSamples(int16_t* samples, std::size_t count, double fadeGain, double maximiseGain);

// The fade and maximise pass over the temporary WAV, in place: a peak scan (maximise on;
// scanProgress after its blocks, " Scanning Audio ... ") and a rewrite (processProgress,
// " Processing Audio ... ") that multiplies every frame by the fade gain g = lin2log(t, 1.0, 1)
// (from t before the frame's update) and by E, clamps to -32766..32766 and truncates toward
// zero. range places the file in the take's coordinates, which the fade edges are counted in:
// the rise lasts from range start while range start + 4 × fade-in frames < p has not held, the
// fall starts once p > range end - 4 × fade-out frames. Fades and maximise off still clamp
// ±32767 to ±32766. A file that is not 44100 Hz, 16-bit stereo PCM, or that openPcmWav refuses,
// is skipped (applied false, result ok): the conversion still runs on it and judges it.
FadePassResult fadeAndMaximise(const std::string& temporaryPath, SaveRange range, const FadeSettings& fades,
                               const BlockProgress& scanProgress, const BlockProgress& processProgress);

// Runs the converter of the format on the temporary WAV, writing destinationPath (the archive
// folder, the name, saveExtension(format)); progress is the toolkit's callback, handed to the
// converter as it stands. The converter writes a side file beside the destination, which
// replaces the destination only once it has been read back: it must exist and hold the range's
// duration (rangeBytes of the take) within one codec frame (MP3 1152, WMA 2048 samples, WAV one
// frame at its rate). A failed conversion or check leaves no partial file and keeps an existing
// file of the destination's name as it was.
SaveResult convertTemporaryWav(const std::string& temporaryPath, const std::string& destinationPath,
                               SaveFormat format, SaveQuality quality, uint32_t rangeBytes,
                               SorvakProgressFunction progress);

// Where a save stands, for the caller's status line; the phases come in this order.
enum class SavePhase { Preparing, Scanning, Processing, Converting };

// The whole save: copy, fade and maximise pass, conversion and check, stopping at the first
// failure. phaseProgress(phase, percent) is called after each block of the first three phases;
// beforeConversion, when set, is called once before the converter starts (the caller sets the
// saving mark and resets the progress bar there); conversionProgress goes to the converter.
struct SaveJob {
    std::string takePath;
    std::string temporaryPath;
    std::string destinationPath;
    SaveRange range;
    FadeSettings fades;
    SaveFormat format = SaveFormat::Mp3;
    SaveQuality quality = SaveQuality::High;
};
using SavePhaseProgress = std::function<void(SavePhase phase, int percent)>;
SaveResult saveRange(const SaveJob& job, const SavePhaseProgress& phaseProgress,
                     const std::function<void()>& beforeConversion, SorvakProgressFunction conversionProgress);

// The side file the converter writes beside destinationPath before it is renamed into place.
std::string sidePathOf(const std::string& destinationPath);

}
