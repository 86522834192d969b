#include "take/raw_take_maximise.h"

#include "take/maximise_journal.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wavelark {

namespace {

std::string systemReason()
{
    return errno ? std::string(std::strerror(errno)) : std::string("no room was left");
}

// Rewrites the take from `from` to its end with the gain of peak, a journal window at a time: the
// window's original bytes into the journal first, then the maximised window into the take, synced
// before the next window's journal replaces this one. The journal goes once the last window is on
// disk. A trailing partial frame is left as it stands.
bool rewriteJournaled(const PcmRegion& take, const TakeIdentity& identity, uint64_t from, int16_t peak,
                      const std::string& journalPath, const BlockProgress& progress, std::size_t blockSize,
                      std::string* error)
{
    const double gain = 32767.0 / peak;
    const std::size_t window = blockSize * kJournalWindowBlocks;
    const uint64_t size = take.dataSize();
    AlignedBlock buffer = allocateBlock(window);
    JournalEntry entry{identity, peak, 0, {}};
    int reported = -1;
    for (uint64_t offset = from; offset < size; offset += window) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(window, size - offset));
        errno = 0;
        const ssize_t got = readFully(take.descriptor(), buffer.get(), wanted, offset);
        if (got < 0 || static_cast<std::size_t>(got) < wanted) {
            *error = got < 0 ? systemReason() : std::string("the file ended before its audio did");
            return false;
        }
        const std::size_t usable = wanted & ~std::size_t{3};
        entry.offset = offset;
        entry.original.assign(buffer.get(), buffer.get() + usable);
        if (!writeMaximiseJournal(journalPath, entry, error))
            return false;
        maximiseSamples(reinterpret_cast<int16_t*>(buffer.get()), usable / 2, gain);
        errno = 0;
        if (!writeFully(take.descriptor(), buffer.get(), usable, offset) || ::fdatasync(take.descriptor()) != 0) {
            *error = systemReason();
            return false;
        }
        const int percent = static_cast<int>(100.0 * static_cast<double>(offset + wanted) / static_cast<double>(size));
        if (progress && percent != reported) {
            reported = percent;
            progress(percent);
        }
    }
    // Left behind, the journal would only have its window put back and rewritten to the same bytes.
    removeMaximiseJournal(journalPath);
    return true;
}

}

MaximiseResult maximiseRawTake(const std::string& path, const BlockProgress& scanProgress,
                               const BlockProgress& rewriteProgress, std::size_t blockSize)
{
    MaximiseResult result;
    PcmRegion region;
    if (!region.openForRewrite(path, 0, 0, &result.error))
        return result;
    result.opened = true;
    // A journal still here belongs to an earlier take that could not be recovered.
    const std::string journalPath = maximiseJournalPath(path);
    removeMaximiseJournal(journalPath);
    const std::optional<int16_t> peak = scanPeak(region, scanProgress, blockSize, &result.error);
    if (!peak) {
        // A gain from part of the take could clip the rest: the take stays as it is.
        result.failed = true;
        return result;
    }
    result.peak = *peak;
    if (result.peak <= 0)
        return result;
    const std::optional<TakeIdentity> identity = takeIdentity(region.descriptor());
    if (!identity) {
        result.failed = true;
        result.error = systemReason();
        return result;
    }
    result.failed = !rewriteJournaled(region, *identity, 0, result.peak, journalPath, rewriteProgress, blockSize,
                                      &result.error);
    result.rewritten = !result.failed;
    return result;
}

std::optional<MaximiseResult> resumeRawTakeMaximise(const std::string& path, const BlockProgress& rewriteProgress,
                                                    std::size_t blockSize)
{
    const std::string journalPath = maximiseJournalPath(path);
    const JournalReading journal = readMaximiseJournal(journalPath);
    if (journal.state == JournalState::Absent)
        return std::nullopt;
    MaximiseResult result;
    PcmRegion region;
    if (!region.openForRewrite(path, 0, 0, &result.error)) {
        // No take: the journal has nothing left to finish.
        if (errno == ENOENT)
            removeMaximiseJournal(journalPath);
        return result;
    }
    result.opened = true;
    if (journal.state == JournalState::Damaged) {
        result.failed = true;
        result.error = "the journal of the interrupted maximise, " + journalPath + ", cannot be used: " + journal.problem;
        removeMaximiseJournal(journalPath);
        return result;
    }
    const std::optional<TakeIdentity> identity = takeIdentity(region.descriptor());
    if (!identity || !(*identity == journal.entry.take)) {
        removeMaximiseJournal(journalPath);
        return std::nullopt;
    }
    // The window being rewritten gets its recorded bytes back, then the rewrite goes on from it.
    const JournalEntry& entry = journal.entry;
    result.peak = entry.peak;
    errno = 0;
    if (!writeFully(region.descriptor(), entry.original.data(), entry.original.size(), entry.offset)) {
        result.failed = true;
        result.error = systemReason();
        return result;
    }
    result.failed = !rewriteJournaled(region, *identity, entry.offset, entry.peak, journalPath, rewriteProgress,
                                      blockSize, &result.error);
    result.rewritten = !result.failed;
    return result;
}

}
