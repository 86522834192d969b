// Block passes over 16-bit PCM data in a file: the peak scan and the in-place block rewrite that
// the raw take maximise and the save's fade and maximise pass are made of. The file is read in
// page-aligned blocks and each block is written back over the bytes it was read from, so the
// audio is never held in memory whole. Window thread (long operations).
#pragma once

#include "core/file_toolbox.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <sys/types.h>

namespace wavelark {

// The blocks of the scan and rewrite passes.
inline constexpr std::size_t kPcmBlockSize = 65536;

// Reports the pass's progress as a whole percentage of the data; called after every block whose
// percentage differs from the one reported before.
using BlockProgress = std::function<void(int percent)>;

// The progress of part of whole as the progress bar shows it: trunc(percent(part, whole)) with the
// toolkit's formula, 100 / (whole / part) in doubles. That is not always trunc(100 × part / whole):
// 11 of 25 gives 43.99999999999999, so 43, where the plain product gives 44. whole > 0.
int wholePercent(uint64_t part, uint64_t whole);

// A page-aligned block buffer.
struct AlignedFree {
    void operator()(void* block) const;
};
using AlignedBlock = std::unique_ptr<uint8_t[], AlignedFree>;
AlignedBlock allocateBlock(std::size_t bytes);

// An open region of PCM data in a file: a headerless file such as the raw take (offset 0, size
// the file's length) or a WAV file's data chunk. Owns its descriptor.
class PcmRegion {
public:
    PcmRegion() = default;
    PcmRegion(PcmRegion&& other) noexcept;
    PcmRegion& operator=(PcmRegion&& other) noexcept;
    PcmRegion(const PcmRegion&) = delete;
    PcmRegion& operator=(const PcmRegion&) = delete;
    ~PcmRegion();

    // Opens path for reading and writing over size bytes from offset; size 0 means "to the end of
    // the file". False, with the system's reason in error, when the file cannot be opened.
    bool openForRewrite(const std::string& path, uint64_t offset, uint64_t size, std::string* error = nullptr);
    // The same for reading only (the passes that never write, on files the user may not own).
    bool openForReading(const std::string& path, uint64_t offset, uint64_t size, std::string* error = nullptr);
    bool isOpen() const { return m_descriptor >= 0; }
    uint64_t dataOffset() const { return m_offset; }
    uint64_t dataSize() const { return m_size; }
    int descriptor() const { return m_descriptor; }
    void close();

private:
    bool open(const std::string& path, int flags, uint64_t offset, uint64_t size, std::string* error);
    int m_descriptor = -1;
    uint64_t m_offset = 0;
    uint64_t m_size = 0;
};

// The largest sample of the region as a signed value, starting from 0 (negative samples never
// raise it), read in blocks of blockSize bytes (a multiple of 4). Nothing, with the reason in
// error, when a read fails or the file ends before the region does.
std::optional<int16_t> scanPeak(const PcmRegion& region, const BlockProgress& progress,
                                std::size_t blockSize = kPcmBlockSize, std::string* error = nullptr);

// Hands the region's samples to change block by block (count is the number of 16-bit samples,
// an even number: whole frames) and writes each block back over the bytes it was read from.
// False, with the reason in error, when a read or a write fails or the file ends before the
// region does; the blocks before the failing one have been rewritten.
using SampleChange = std::function<void(int16_t* samples, std::size_t count)>;
bool rewriteBlocks(const PcmRegion& region, const SampleChange& change, const BlockProgress& progress,
                   std::size_t blockSize = kPcmBlockSize, std::string* error = nullptr);

// The largest of the samples, starting from 0.
int16_t largestSample(const int16_t* samples, std::size_t count);

// The blocks of the byte copies into the temporary WAV and the import's side file.
inline constexpr std::size_t kCopyBlockSize = 1048576;

enum class CopyStatus { Copied, ReadFailed, SourceEnded, WriteFailed };
struct CopyOutcome {
    CopyStatus status = CopyStatus::Copied;
    std::string reason;  // the system's reason when a read or write failed
    uint64_t copied = 0; // bytes written before the copy stopped
};

// Copies length bytes from source at sourceOffset to destination at destinationOffset in blocks
// of kCopyBlockSize, reporting wholePercent(copied, length) after every block. Stops at the
// first failing read or write, or when the source ends early (SourceEnded).
CopyOutcome copyBytes(int source, uint64_t sourceOffset, int destination, uint64_t destinationOffset, uint64_t length,
                      const BlockProgress& progress);

}
