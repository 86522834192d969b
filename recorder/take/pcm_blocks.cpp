#include "take/pcm_blocks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace wavelark {

namespace {

constexpr std::size_t kPageSize = 4096;

// Walks the region block by block: read, hand over, report. A read that fails, or a region that
// ends before its size (the file was cut short meanwhile), stops the walk with the reason in
// error: a pass over part of the audio must never pass for a pass over all of it.
template <typename Visit>
bool forEachBlock(const PcmRegion& region, std::size_t blockSize, const BlockProgress& progress, std::string* error,
                  Visit visit)
{
    AlignedBlock block = allocateBlock(blockSize);
    uint64_t done = 0;
    int reported = -1;
    while (done < region.dataSize()) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(blockSize, region.dataSize() - done));
        const ssize_t got = readFully(region.descriptor(), block.get(), wanted, region.dataOffset() + done);
        if (got < 0 || static_cast<std::size_t>(got) < wanted) {
            if (error)
                *error = got < 0 ? std::string(std::strerror(errno)) : std::string("the file ended before its audio did");
            return false;
        }
        // Whole frames only: a trailing partial frame is left as it stands.
        const std::size_t usable = wanted & ~std::size_t{3};
        if (usable > 0 && !visit(block.get(), usable, region.dataOffset() + done))
            return false;
        done += wanted;
        if (progress) {
            const int percent = wholePercent(done, region.dataSize());
            if (percent != reported) {
                reported = percent;
                progress(percent);
            }
        }
    }
    return true;
}

}

void AlignedFree::operator()(void* block) const
{
    std::free(block);
}

AlignedBlock allocateBlock(std::size_t bytes)
{
    const std::size_t rounded = (bytes + kPageSize - 1) / kPageSize * kPageSize;
    void* block = std::aligned_alloc(kPageSize, rounded);
    if (!block)
        throw std::bad_alloc();
    return AlignedBlock(static_cast<uint8_t*>(block));
}

PcmRegion::PcmRegion(PcmRegion&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_offset(other.m_offset)
    , m_size(other.m_size)
{
}

PcmRegion& PcmRegion::operator=(PcmRegion&& other) noexcept
{
    if (this != &other) {
        close();
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_offset = other.m_offset;
        m_size = other.m_size;
    }
    return *this;
}

PcmRegion::~PcmRegion()
{
    close();
}

bool PcmRegion::openForRewrite(const std::string& path, uint64_t offset, uint64_t size, std::string* error)
{
    return open(path, O_RDWR, offset, size, error);
}

bool PcmRegion::openForReading(const std::string& path, uint64_t offset, uint64_t size, std::string* error)
{
    return open(path, O_RDONLY, offset, size, error);
}

bool PcmRegion::open(const std::string& path, int flags, uint64_t offset, uint64_t size, std::string* error)
{
    close();
    const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
    if (descriptor < 0) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    if (size == 0) {
        struct stat status {};
        if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
            if (error)
                *error = "not a regular file";
            ::close(descriptor);
            return false;
        }
        size = static_cast<uint64_t>(status.st_size) > offset ? static_cast<uint64_t>(status.st_size) - offset : 0;
    }
    m_descriptor = descriptor;
    m_offset = offset;
    m_size = size;
    return true;
}

void PcmRegion::close()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

int wholePercent(uint64_t part, uint64_t whole)
{
    // In this order, as the toolkit's percent: the quotient first.
    return static_cast<int>(100.0 / (static_cast<double>(whole) / static_cast<double>(part)));
}

int16_t largestSample(const int16_t* samples, std::size_t count)
{
    int16_t peak = 0;
    for (std::size_t index = 0; index < count; ++index)
        peak = std::max(peak, samples[index]);
    return peak;
}

CopyOutcome copyBytes(int source, uint64_t sourceOffset, int destination, uint64_t destinationOffset, uint64_t length,
                      const BlockProgress& progress)
{
    CopyOutcome outcome;
    auto report = [&] {
        if (progress)
            progress(wholePercent(outcome.copied, length));
    };
    // The kernel's copy spares the round trip through a buffer. Where it cannot serve (another
    // file system, an old kernel) or fails, the rest goes through the buffer, whose reads and
    // writes tell a failing read from a failing write.
    bool kernelCopy = true;
    AlignedBlock buffer;
    while (outcome.copied < length) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(kCopyBlockSize, length - outcome.copied));
        std::size_t done = 0;
        while (kernelCopy && done < wanted) {
            loff_t from = static_cast<loff_t>(sourceOffset + outcome.copied + done);
            loff_t to = static_cast<loff_t>(destinationOffset + outcome.copied + done);
            const ssize_t moved = ::copy_file_range(source, &from, destination, &to, wanted - done, 0);
            if (moved < 0 && errno == EINTR)
                continue;
            if (moved <= 0) {
                // 0: the source ended early; let the buffered path confirm it.
                kernelCopy = false;
                break;
            }
            done += static_cast<std::size_t>(moved);
        }
        if (done < wanted) {
            if (!buffer)
                buffer = allocateBlock(kCopyBlockSize);
            const std::size_t rest = wanted - done;
            const ssize_t got = readFully(source, buffer.get(), rest, sourceOffset + outcome.copied + done);
            if (got < 0) {
                outcome.status = CopyStatus::ReadFailed;
                outcome.reason = std::strerror(errno);
                outcome.copied += done;
                return outcome;
            }
            errno = 0;
            if (!writeFully(destination, buffer.get(), static_cast<std::size_t>(got),
                            destinationOffset + outcome.copied + done)) {
                outcome.status = CopyStatus::WriteFailed;
                outcome.reason = errno != 0 ? std::strerror(errno) : "nothing could be written";
                outcome.copied += done;
                return outcome;
            }
            done += static_cast<std::size_t>(got);
            if (static_cast<std::size_t>(got) < rest) {
                outcome.status = CopyStatus::SourceEnded;
                outcome.copied += done;
                return outcome;
            }
        }
        outcome.copied += done;
        report();
    }
    return outcome;
}

std::optional<int16_t> scanPeak(const PcmRegion& region, const BlockProgress& progress, std::size_t blockSize,
                                std::string* error)
{
    int16_t peak = 0;
    const bool complete = forEachBlock(region, blockSize, progress, error, [&](uint8_t* bytes, std::size_t length, uint64_t) {
        peak = std::max(peak, largestSample(reinterpret_cast<const int16_t*>(bytes), length / 2));
        return true;
    });
    if (!complete)
        return std::nullopt;
    return peak;
}

bool rewriteBlocks(const PcmRegion& region, const SampleChange& change, const BlockProgress& progress,
                   std::size_t blockSize, std::string* error)
{
    return forEachBlock(region, blockSize, progress, error, [&](uint8_t* bytes, std::size_t length, uint64_t offset) {
        change(reinterpret_cast<int16_t*>(bytes), length / 2);
        if (writeFully(region.descriptor(), bytes, length, offset))
            return true;
        if (error)
            *error = std::strerror(errno);
        return false;
    });
}

}
