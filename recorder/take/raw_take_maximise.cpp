#include "take/raw_take_maximise.h"

#include "take/maximise_journal.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wavelark {

void maximiseSamples(int16_t* samples, std::size_t count, double gain)
{
    std::size_t index = 0;
#if defined(__SSE2__)
    // Eight samples at a time with the same double arithmetic: an exact int-to-double widening,
    // one multiply, the clamp as min/max (no NaN can occur) and the truncating conversion. The
    // clamped values fit 16 bits, so the final pack never saturates.
    const __m128d factor = _mm_set1_pd(gain);
    const __m128d largest = _mm_set1_pd(kLargestMaximisedSample);
    const __m128d smallest = _mm_set1_pd(-kLargestMaximisedSample);
    auto scalePair = [&](__m128i pair) {
        __m128d value = _mm_mul_pd(_mm_cvtepi32_pd(pair), factor);
        value = _mm_max_pd(_mm_min_pd(value, largest), smallest);
        return _mm_cvttpd_epi32(value);
    };
    for (; index + 8 <= count; index += 8) {
        const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + index));
        // Sign-extend the eight samples to two vectors of four 32-bit values.
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(packed, packed), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(packed, packed), 16);
        const __m128i low01 = scalePair(low);
        const __m128i low23 = scalePair(_mm_srli_si128(low, 8));
        const __m128i high01 = scalePair(high);
        const __m128i high23 = scalePair(_mm_srli_si128(high, 8));
        const __m128i lowAll = _mm_unpacklo_epi64(low01, low23);
        const __m128i highAll = _mm_unpacklo_epi64(high01, high23);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + index), _mm_packs_epi32(lowAll, highAll));
    }
#endif
    for (; index < count; ++index)
        samples[index] = maximisedSample(samples[index], gain);
}

namespace {

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

}

MaximiseResult maximiseRawTake(const std::string& path, const std::string& takeId, const BlockProgress& scanProgress,
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
