// The raw take maximise: normalises the whole raw take file in place so that its largest
// positive sample becomes 32766. Runs after every recording and every import, on the window
// thread, reporting its two passes through the caller's progress functions.
#pragma once

#include "take/pcm_blocks.h"
#include "take/sample_kernel.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wavelark {

// sample × gain, held to -32766..32766 and truncated toward zero: the save's kernel at full fade
// level (1.0 × sample is exact, so the two agree to the bit).
inline int16_t maximisedSample(int16_t sample, double gain)
{
    return scaledSample(sample, 1.0, gain);
}

// Every sample through maximisedSample, vectorised.
inline void maximiseSamples(int16_t* samples, std::size_t count, double gain)
{
    scaleSamples(samples, count, 1.0, gain);
}

struct MaximiseResult {
    bool opened = false;    // the file could be opened for reading and writing
    int16_t peak = 0;       // the largest sample before the pass
    bool rewritten = false; // the samples were rewritten (not for a silent take, peak 0)
    bool failed = false;    // a read or write failed part-way: see error
    std::string error;      // why the file could not be opened, read or written
};

// Scans the file for its peak (scanProgress after each block: " Scanning Audio ... "), then
// rewrites every sample with the gain 32767 / peak (rewriteProgress after each journal window:
// " Maximizing Audio ... "). The rewrite is journaled (take/maximise_journal.h): stopped at any
// moment, resumeRawTakeMaximise finishes it to the same bytes. A take without a positive sample
// is left unchanged: its gain would be a division by zero. A scan that cannot read the whole take
// leaves it unchanged too; a rewrite that fails part-way leaves the windows before the failure
// maximised and the journal in place. A journal left by an earlier take is removed first.
MaximiseResult maximiseRawTake(const std::string& path, const BlockProgress& scanProgress,
                               const BlockProgress& rewriteProgress, std::size_t blockSize = kPcmBlockSize);

// Finishes a maximise of the take at path that was stopped part-way, from its journal: the
// journal's window is put back as it was recorded and the rewrite goes on from there with the
// same gain. Nothing when there is no journal for this take (none at all, or one left beside an
// earlier take, which is removed). A damaged journal is removed and reported as failed: the take
// stays partly maximised.
std::optional<MaximiseResult> resumeRawTakeMaximise(const std::string& path, const BlockProgress& rewriteProgress,
                                                    std::size_t blockSize = kPcmBlockSize);

}
