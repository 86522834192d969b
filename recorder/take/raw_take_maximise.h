// The raw take maximise: normalises the whole raw take file so that its largest
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
    bool touched = false;   // some samples may differ from the recording: a failed pass leaves the
                            // take partly maximised, not as it was recorded
    bool failed = false;    // a read or write failed part-way: see error
    std::string error;      // why the file could not be opened, read or written
};

// How the rewrite keeps a stop at any moment recoverable.
enum class MaximiseWay {
    // The maximised take is written beside it (maximisedSidePath), forced to the disk and renamed
    // over it, when the disk has room for the copy; else journaled. The take is written once.
    BesideWhenRoom,
    // In place, a journal window at a time (take/maximise_journal.h): the window's original bytes
    // go to the journal first, so the take is written twice over.
    Journaled,
};

// Scans the file for its peak (scanProgress after each block: " Scanning Audio ... "), then
// rewrites every sample with the gain 32767 / peak (rewriteProgress after each block: " Maximizing
// Audio ... "). Stopped at any moment, the take is left recoverable to the same bytes: beside, it
// is as recorded or wholly maximised (maximising a maximised take changes nothing), and
// maximiseInterrupted says a maximise afresh is due; journaled, resumeRawTakeMaximise finishes it
// from the journal, which names the take by takeId (the id its recording mark names, empty without
// one), so also a copy of the take on another disk. A take without a positive sample is left
// unchanged: its gain would be a division by zero. A scan that cannot read the whole take leaves
// it unchanged too, as does a journal that cannot be written before the first window; a journaled
// rewrite that fails later leaves the windows before the failure maximised and the journal in
// place. A failure of the copy beside before its rename leaves the take as recorded and the
// journaled way is tried. A journal or a side file left by an earlier take is removed first.
MaximiseResult maximiseRawTake(const std::string& path, const std::string& takeId = {},
                               const BlockProgress& scanProgress = {}, const BlockProgress& rewriteProgress = {},
                               std::size_t blockSize = kPcmBlockSize, MaximiseWay way = MaximiseWay::BesideWhenRoom);

// The maximised copy a maximise beside writes: the take's path with ".maximised" added.
std::string maximisedSidePath(const std::string& takePath);

// Whether a maximise of the take was stopped part-way: its journal or its maximised copy is there.
bool maximiseInterrupted(const std::string& takePath);

// Finishes a maximise of the take at path that was stopped part-way, from its journal: the
// journal's window is put back as it was recorded and the rewrite goes on from there with the
// same gain. takeId as for maximiseRawTake. Nothing when there is no journal for this take (none
// at all, or one left beside an earlier take, which is removed); a maximised copy left by a
// maximise beside is removed too, the take being as recorded: the caller maximises it afresh. A
// damaged journal is removed and reported as failed: the take stays partly maximised.
std::optional<MaximiseResult> resumeRawTakeMaximise(const std::string& path, const std::string& takeId,
                                                    const BlockProgress& rewriteProgress,
                                                    std::size_t blockSize = kPcmBlockSize);

}
