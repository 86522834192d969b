// The raw take maximise: normalises the whole raw take file in place so that its largest
// positive sample becomes 32766. Runs after every recording and every import, on the window
// thread, reporting its two passes through the caller's progress functions.
#pragma once

#include "take/pcm_blocks.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wavelark {

// The samples' clamp: never quite full scale, also at unit gain.
inline constexpr double kLargestMaximisedSample = 32766.0;

// sample × gain, held to -32766..32766 and truncated toward zero.
inline int16_t maximisedSample(int16_t sample, double gain)
{
    double value = sample * gain;
    if (value > kLargestMaximisedSample)
        value = kLargestMaximisedSample;
    else if (value < -kLargestMaximisedSample)
        value = -kLargestMaximisedSample;
    return static_cast<int16_t>(value);
}

// Every sample through maximisedSample.
void maximiseSamples(int16_t* samples, std::size_t count, double gain);

struct MaximiseResult {
    bool opened = false;    // the file could be opened for reading and writing
    int16_t peak = 0;       // the largest sample before the pass
    bool rewritten = false; // the samples were rewritten (not for a silent take, peak 0)
    bool touched = false;   // some samples may differ from the recording: a failed pass leaves the
                            // take partly maximised, not as it was recorded
    bool failed = false;    // a read or write failed part-way: see error
    std::string error;      // why the file could not be opened, read or written
};

// Scans the file for its peak (scanProgress after each block: " Scanning Audio ... "), then
// rewrites every sample with the gain 32767 / peak (rewriteProgress after each block: " Maximizing
// Audio ... "). The rewrite is journaled (take/maximise_journal.h) under the take's identity, takeId
// being the id its recording mark names (empty without one): stopped at any moment,
// resumeRawTakeMaximise finishes it to the same bytes, also on a copy of the take on another disk.
// A take without a positive sample is left unchanged: its gain would be a division by zero. A scan
// that cannot read the whole take leaves it unchanged too, as does a journal that cannot be
// written before the first window; a rewrite that fails later leaves the windows before the
// failure maximised and the journal in place. A journal left by an earlier take is removed first.
MaximiseResult maximiseRawTake(const std::string& path, const std::string& takeId = {},
                               const BlockProgress& scanProgress = {}, const BlockProgress& rewriteProgress = {},
                               std::size_t blockSize = kPcmBlockSize);

// Finishes a maximise of the take at path that was stopped part-way, from its journal: the
// journal's window is put back as it was recorded and the rewrite goes on from there with the
// same gain. takeId as for maximiseRawTake. Nothing when there is no journal for this take (none
// at all, or one left beside an earlier take, which is removed). A damaged journal is removed and
// reported as failed: the take stays partly maximised.
std::optional<MaximiseResult> resumeRawTakeMaximise(const std::string& path, const std::string& takeId,
                                                    const BlockProgress& rewriteProgress,
                                                    std::size_t blockSize = kPcmBlockSize);

}
