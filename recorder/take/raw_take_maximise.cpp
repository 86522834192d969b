#include "take/raw_take_maximise.h"

#include "take/maximise_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wavelark {

namespace {

constexpr char kMaximisedSuffix[] = ".maximised";
// Left free beside the maximised copy: the disk is never filled to its last block.
constexpr uint64_t kBesideHeadroom = 64ull << 20;
// How much of the maximised copy is written before the disk is told to start on it.
constexpr uint64_t kWritebackStretch = 8ull << 20;

std::string systemReason()
{
    return errno ? std::string(std::strerror(errno)) : std::string("no room was left");
}

// Reports the rewrite's progress after every block, each percentage once.
class RewriteProgress {
public:
    RewriteProgress(const BlockProgress& progress, uint64_t size) : m_progress(progress), m_size(size) {}
    void reached(uint64_t done)
    {
        const int percent = static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(m_size));
        if (m_progress && percent != m_reported) {
            m_reported = percent;
            m_progress(percent);
        }
    }

private:
    const BlockProgress& m_progress;
    uint64_t m_size;
    int m_reported = -1;
};

// Rewrites the take from `from` to its end with the gain of peak, a journal window at a time: the
// window's original bytes into the journal first, then the window's blocks maximised into the
// take, synced before the next window's journal replaces this one. The journal goes once the last
// window is on disk. touched is set before the first write into the take. A trailing partial
// frame is left as it stands.
bool rewriteJournaled(const PcmRegion& take, const TakeIdentity& identity, uint64_t from, int16_t peak,
                      const std::string& journalPath, const BlockProgress& progress, std::size_t blockSize,
                      MaximiseResult& result)
{
    const double gain = 32767.0 / peak;
    const std::size_t window = blockSize * kJournalWindowBlocks;
    const uint64_t size = take.dataSize();
    AlignedBlock buffer = allocateBlock(window);
    JournalEntry entry{identity, peak, 0, {}};
    RewriteProgress report(progress, size);
    for (uint64_t offset = from; offset < size; offset += window) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(window, size - offset));
        errno = 0;
        const ssize_t got = readFully(take.descriptor(), buffer.get(), wanted, offset);
        if (got < 0 || static_cast<std::size_t>(got) < wanted) {
            result.error = got < 0 ? systemReason() : std::string("the file ended before its audio did");
            return false;
        }
        entry.offset = offset;
        entry.original.assign(buffer.get(), buffer.get() + (wanted & ~std::size_t{3}));
        if (!writeMaximiseJournal(journalPath, entry, &result.error))
            return false;
        for (std::size_t start = 0; start < wanted; start += blockSize) {
            const std::size_t length = std::min(blockSize, wanted - start);
            const std::size_t whole = length & ~std::size_t{3};
            auto* samples = reinterpret_cast<int16_t*>(buffer.get() + start);
            maximiseSamples(samples, whole / 2, gain);
            result.touched = true;
            errno = 0;
            if (!writeFully(take.descriptor(), buffer.get() + start, whole, offset + start)) {
                result.error = systemReason();
                return false;
            }
            report.reached(offset + start + length);
        }
        errno = 0;
        if (::fdatasync(take.descriptor()) != 0) {
            result.error = systemReason();
            return false;
        }
    }
    // Left behind, the journal would only have its window put back and rewritten to the same bytes.
    removeMaximiseJournal(journalPath);
    return true;
}

// Whether the take's folder has room for a maximised copy beside it, with some to spare.
bool roomBeside(const std::string& path, uint64_t size)
{
    struct statvfs folder {};
    if (::statvfs(folderOf(path).c_str(), &folder) != 0)
        return false;
    return static_cast<uint64_t>(folder.f_bavail) * folder.f_frsize >= size + kBesideHeadroom;
}

enum class BesideOutcome { Replaced, TakeUntouched, FolderNotSynced };

// Writes the maximised take beside it (maximisedSidePath) block by block, forces it to the disk and
// renames it over the take. Stopped at any moment before the rename, the take is as recorded (a
// maximise afresh then gives the same bytes); after it, wholly maximised. Every failure before the
// rename removes the side file and leaves the take untouched, for the journal to try.
BesideOutcome rewriteBeside(const PcmRegion& take, const std::string& path, int16_t peak,
                            const BlockProgress& progress, std::size_t blockSize, MaximiseResult& result)
{
    const double gain = 32767.0 / peak;
    const uint64_t size = take.dataSize();
    struct stat status {};
    const mode_t mode = ::fstat(take.descriptor(), &status) == 0 ? status.st_mode & 07777 : 0644;
    FileReplacement side;
    if (side.begin(path, kMaximisedSuffix, mode))
        return BesideOutcome::TakeUntouched;
    AlignedBlock block = allocateBlock(blockSize);
    RewriteProgress report(progress, size);
    uint64_t flushed = 0;
    for (uint64_t offset = 0; offset < size; offset += blockSize) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(blockSize, size - offset));
        const ssize_t got = readFully(take.descriptor(), block.get(), wanted, offset);
        if (got < 0 || static_cast<std::size_t>(got) < wanted)
            return BesideOutcome::TakeUntouched;
        // A trailing partial frame is copied as it stands.
        maximiseSamples(reinterpret_cast<int16_t*>(block.get()), (wanted & ~std::size_t{3}) / 2, gain);
        if (side.write({block.get(), wanted}, offset))
            return BesideOutcome::TakeUntouched;
        // The disk starts on what is written while the rest is computed, so the final sync waits
        // only for the last stretch.
        if (offset + wanted - flushed >= kWritebackStretch || offset + wanted == size) {
            ::sync_file_range(side.descriptor(), static_cast<off_t>(flushed),
                              static_cast<off_t>(offset + wanted - flushed), SYNC_FILE_RANGE_WRITE);
            flushed = offset + wanted;
        }
        report.reached(offset + wanted);
    }
    const std::optional<FileFailure> failure = side.commit();
    if (!failure)
        return BesideOutcome::Replaced;
    if (failure->step != FileFailure::Step::SyncingFolder)
        return BesideOutcome::TakeUntouched;
    result.error = failure->reason();
    return BesideOutcome::FolderNotSynced;
}

}

std::string maximisedSidePath(const std::string& takePath)
{
    return takePath + kMaximisedSuffix;
}

bool maximiseInterrupted(const std::string& takePath)
{
    return ::access(maximiseJournalPath(takePath).c_str(), F_OK) == 0
           || ::access(maximisedSidePath(takePath).c_str(), F_OK) == 0;
}

MaximiseResult maximiseRawTake(const std::string& path, const std::string& takeId, const BlockProgress& scanProgress,
                               const BlockProgress& rewriteProgress, std::size_t blockSize, MaximiseWay way)
{
    MaximiseResult result;
    PcmRegion region;
    if (!region.openForRewrite(path, 0, 0, &result.error))
        return result;
    result.opened = true;
    // A journal still here belongs to an earlier take that could not be recovered; a side file is
    // what a stopped maximise beside left.
    const std::string journalPath = maximiseJournalPath(path);
    removeMaximiseJournal(journalPath);
    ::unlink(maximisedSidePath(path).c_str());
    const std::optional<int16_t> peak = scanPeak(region, scanProgress, blockSize, &result.error);
    if (!peak) {
        // A gain from part of the take could clip the rest: the take stays as it is.
        result.failed = true;
        return result;
    }
    result.peak = *peak;
    if (result.peak <= 0)
        return result;
    if (way == MaximiseWay::BesideWhenRoom && roomBeside(path, region.dataSize())) {
        switch (rewriteBeside(region, path, result.peak, rewriteProgress, blockSize, result)) {
        case BesideOutcome::Replaced:
        // The take is wholly maximised; only its folder entry may not survive a power loss, and
        // then the recording's mark makes the next start maximise the recorded take again.
        case BesideOutcome::FolderNotSynced:
            result.touched = true;
            result.rewritten = true;
            return result;
        case BesideOutcome::TakeUntouched:
            break;
        }
    }
    const std::optional<TakeIdentity> identity = takeIdentity(region.descriptor(), takeId);
    if (!identity) {
        result.failed = true;
        result.error = systemReason();
        return result;
    }
    result.failed =
        !rewriteJournaled(region, *identity, 0, result.peak, journalPath, rewriteProgress, blockSize, result);
    result.rewritten = !result.failed;
    return result;
}

std::optional<MaximiseResult> resumeRawTakeMaximise(const std::string& path, const std::string& takeId,
                                                    const BlockProgress& rewriteProgress, std::size_t blockSize)
{
    // A maximise beside stopped before its rename left the take as recorded: it is done afresh.
    ::unlink(maximisedSidePath(path).c_str());
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
        // How far the stopped rewrite got is lost with its journal.
        result.failed = true;
        result.touched = true;
        result.error = "the journal of the interrupted maximise, " + journalPath + ", cannot be used: " + journal.problem;
        removeMaximiseJournal(journalPath);
        return result;
    }
    std::optional<TakeIdentity> identity = takeIdentity(region.descriptor(), takeId);
    if (!identity || !sameTake(journal.entry.take, *identity)) {
        removeMaximiseJournal(journalPath);
        return std::nullopt;
    }
    // Matched without an id from the caller: the journal's id stays with the take.
    if (identity->id.empty())
        identity->id = journal.entry.take.id;
    // The window being rewritten gets its recorded bytes back, then the rewrite goes on from it:
    // the windows before it stay maximised.
    const JournalEntry& entry = journal.entry;
    result.peak = entry.peak;
    result.touched = entry.offset > 0;
    errno = 0;
    if (!writeFully(region.descriptor(), entry.original.data(), entry.original.size(), entry.offset)) {
        result.failed = true;
        result.touched = true;
        result.error = systemReason();
        return result;
    }
    result.failed = !rewriteJournaled(region, *identity, entry.offset, entry.peak, journalPath, rewriteProgress,
                                      blockSize, result);
    result.rewritten = !result.failed;
    return result;
}

}
