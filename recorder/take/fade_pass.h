// The save's fade and maximise pass over the temporary WAV, in place: a peak scan, then a rewrite
// that fades the range's start and end and scales it by the maximise gain, through the sample
// kernel the raw take maximise uses too (take/sample_kernel.h).
//
// Thread: the window thread (long operations), or a batch's worker on a file of its own; the
// progress functions are called after each 64 KiB block. The toolkit must be bound (g_toolkit):
// the fade curve is its lin2log.
// Errors: a read or write that fails part-way is a failed SaveResult (the file is then unusable);
// a file the pass cannot work on is skipped, not failed.
#pragma once

#include "take/pcm_blocks.h"
#include "take/save_result.h"

#include <cstdint>
#include <string>

namespace wavelark {

// The fades and the maximise of a save. A fade whose box is on with a length of 0 ms is no fade.
struct FadeSettings {
    bool fadeInOn = false;
    uint32_t fadeInMilliseconds = 0;
    bool fadeOutOn = false;
    uint32_t fadeOutMilliseconds = 0;
    bool maximiseOn = false;
};

// What the fade and maximise pass did.
struct FadePassResult {
    SaveResult result;      // a read or write that failed part-way (the file is then unusable)
    bool applied = false;   // false when the file is not 44100 Hz 16-bit stereo PCM: left as it was
    std::string skipReason; // why the pass was skipped
    int16_t peak = 0;       // the largest sample found by the scan
    double gain = 1.0;      // the maximise gain E: 32767 / peak, or 1.0 (maximise off, or no positive sample)
};

// The fade and maximise pass over the temporary WAV, in place: a peak scan (scanProgress after
// its blocks, " Scanning Audio ... "; it reads the whole range also with the maximise off) and a
// rewrite (processProgress, " Processing Audio ... ") that multiplies every frame by the fade
// gain g = lin2log(t, 1.0, 1) (from t before the frame's update) and by E, clamps to
// -32766..32766 and truncates toward zero. range places the file in the take's coordinates, which
// the fade edges are counted in: the rise lasts from range start while range start + 4 × fade-in
// frames < p has not held, the fall starts once p > range end - 4 × fade-out frames. Fades and
// maximise off still clamp ±32767 to ±32766. A file that is not 44100 Hz, 16-bit stereo PCM, or
// that openPcmWav refuses, is skipped (applied false, result ok): the conversion still runs on it
// and judges it.
FadePassResult fadeAndMaximise(const std::string& temporaryPath, SaveRange range, const FadeSettings& fades,
                               const BlockProgress& scanProgress, const BlockProgress& processProgress);

// The same pass with a maximise gain the caller chose (fades.maximiseOn is not looked at): a batch
// of tracks scales every track by one gain found from the whole side's peak. The scan still
// reads the range and reports its peak.
FadePassResult fadeAndScale(const std::string& temporaryPath, SaveRange range, const FadeSettings& fades,
                            double gain, const BlockProgress& scanProgress, const BlockProgress& processProgress);

}
