#include "take/pcm_wav.h"

#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include "little_endian.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace wavelark {

namespace {

constexpr uint32_t kWavHeaderBytes = 44;
constexpr uint64_t kLargestWavLength = uint64_t{std::numeric_limits<uint32_t>::max()} + 8;

bool writeAt(int descriptor, const uint8_t* bytes, std::size_t count, off_t offset)
{
    ssize_t written;
    do
        written = ::pwrite(descriptor, bytes, count, offset);
    while (written < 0 && errno == EINTR);
    if (written >= 0 && static_cast<std::size_t>(written) != count)
        errno = ENOSPC;
    return written >= 0 && static_cast<std::size_t>(written) == count;
}

bool readAt(int descriptor, uint8_t* bytes, std::size_t count, off_t offset)
{
    ssize_t got;
    do
        got = ::pread(descriptor, bytes, count, offset);
    while (got < 0 && errno == EINTR);
    return got >= 0 && static_cast<std::size_t>(got) == count;
}

}

namespace {

// Opens the raw take for a range and checks that it reaches the range's end.
SaveResult openTakeRange(const std::string& takePath, SaveRange range, FileDescriptor& take)
{
    if (!range.valid())
        return failedSave(SaveFailure::InvalidRange,
                       "The selection is empty or does not hold whole frames. Nothing was saved.");
    take = FileDescriptor(::open(takePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!take.isOpen())
        return failedSave(SaveFailure::TakeUnreadable,
                       "The recording " + quotedPath(takePath) + " could not be opened: " + systemReason() + ". Nothing was saved.");
    struct stat status {};
    if (::fstat(take.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return failedSave(SaveFailure::TakeUnreadable,
                       "The recording " + quotedPath(takePath) + " is not a regular file. Nothing was saved.");
    if (static_cast<uint64_t>(status.st_size) < range.end)
        return failedSave(SaveFailure::InvalidRange,
                       "The selection reaches past the end of the recording. Nothing was saved.");
    return {};
}

}

SaveResult checkTakeRange(const std::string& takePath, SaveRange range)
{
    FileDescriptor take;
    return openTakeRange(takePath, range, take);
}

SaveResult copyRangeToTemporaryWav(const std::string& takePath, SaveRange range, const std::string& temporaryPath,
                                   const BlockProgress& progress)
{
    if (!range.valid())
        return failedSave(SaveFailure::InvalidRange,
                       "The selection is empty or does not hold whole frames. Nothing was saved.");
    if (uint64_t{kWavHeaderBytes} + range.bytes() > kLargestWavLength)
        return failedSave(SaveFailure::InvalidRange, "The selection is too long for a WAV file. Nothing was saved.");
    FileDescriptor take;
    if (SaveResult opened = openTakeRange(takePath, range, take); !opened.ok())
        return opened;

    // The toolkit writes the header; it answers 0 both for success and for a file it could not
    // create, so the file is checked to hold exactly the header. Its last call is the close that
    // flushes the header, so errno then holds the reason of a failed write.
    errno = 0;
    const int headerStatus = g_toolkit.CreateWAVHeader(temporaryPath.c_str(), kTakeSampleRate, 16, 2);
    const int headerReason = errno;
    FileDescriptor temporary(::open(temporaryPath.c_str(), O_WRONLY | O_CLOEXEC));
    if (!temporary.isOpen())
        return failedSave(SaveFailure::TemporaryFile, "The temporary file " + quotedPath(temporaryPath)
                                                          + " could not be created: " + systemReason() + ". Nothing was saved.");
    struct stat temporaryStatus {};
    if (headerStatus != 0 || ::fstat(temporary.get(), &temporaryStatus) != 0
        || temporaryStatus.st_size != kWavHeaderBytes)
        return failedSave(SaveFailure::TemporaryFile,
                          "The temporary file " + quotedPath(temporaryPath) + " could not be written: "
                              + std::strerror(headerReason != 0 ? headerReason : EIO) + ". Nothing was saved.");

    const CopyOutcome copy = copyBytes(take.get(), range.start, temporary.get(), kWavHeaderBytes, range.bytes(), progress);
    SaveResult result;
    if (copy.status == CopyStatus::ReadFailed)
        result = failedSave(SaveFailure::TakeUnreadable,
                         "The recording could not be read: " + copy.reason + ". Nothing was saved.");
    else if (copy.status == CopyStatus::SourceEnded)
        result = failedSave(SaveFailure::TakeUnreadable,
                         "The recording ended before the selection did. Nothing was saved.");
    else if (copy.status == CopyStatus::WriteFailed)
        result = failedSave(SaveFailure::TemporaryFile, "The temporary file " + quotedPath(temporaryPath)
                                                         + " could not be written: " + copy.reason + ". Nothing was saved.");
    else if (!temporary.close())
        result = failedSave(SaveFailure::TemporaryFile, "The temporary file " + quotedPath(temporaryPath)
                                                         + " could not be written: " + systemReason() + ". Nothing was saved.");
    if (!result.ok()) {
        // A copy cut short (a full disk, most likely) gives its room back.
        ::unlink(temporaryPath.c_str());
        return result;
    }
    return fixWavSizes(temporaryPath);
}

SaveResult fixWavSizes(const std::string& path)
{
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0)
        return failedSave(SaveFailure::TemporaryFile, "The file " + quotedPath(path) + " could not be opened: " + systemReason() + ".");
    const uint64_t length = static_cast<uint64_t>(status.st_size);
    if (!S_ISREG(status.st_mode) || length < kWavHeaderBytes || length > kLargestWavLength)
        return failedSave(SaveFailure::TemporaryFile, "The file " + quotedPath(path) + " is not a WAV file that can hold its length.");
    uint8_t size[4];
    writeLittleEndian32(size, static_cast<uint32_t>(length - kWavHeaderBytes));
    bool written = writeAt(file.get(), size, 4, 40);
    writeLittleEndian32(size, static_cast<uint32_t>(length - kWavHeaderBytes + 36));
    written = written && writeAt(file.get(), size, 4, 4);
    if (!written || !file.close())
        return failedSave(SaveFailure::TemporaryFile, "The file " + quotedPath(path) + " could not be written: " + systemReason() + ".");
    return {};
}

std::optional<PcmWav> openPcmWav(const std::string& path, std::string* error, PcmAccess access)
{
    auto refuse = [&](const std::string& why) -> std::optional<PcmWav> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0)
        return refuse(systemReason());
    if (!S_ISREG(status.st_mode))
        return refuse("not a regular file");
    const uint64_t fileSize = static_cast<uint64_t>(status.st_size);
    if (fileSize <= kWavHeaderBytes)
        return refuse("holds no audio");

    uint8_t header[12];
    if (!readAt(file.get(), header, sizeof header, 0) || std::memcmp(header, "RIFF", 4) != 0
        || std::memcmp(header + 8, "WAVE", 4) != 0)
        return refuse("not a RIFF/WAVE file");
    const uint64_t riffEnd = std::min<uint64_t>(fileSize, 8 + uint64_t{readLittleEndian32(header + 4)});

    // The chunks of the form in order: "fmt " first, then "data" after it.
    PcmWav wav;
    bool formatFound = false;
    uint64_t chunk = 12;
    while (chunk + 8 <= riffEnd) {
        uint8_t chunkHeader[8];
        if (!readAt(file.get(), chunkHeader, sizeof chunkHeader, static_cast<off_t>(chunk)))
            return refuse(systemReason());
        const uint64_t body = chunk + 8;
        const uint64_t bodySize = readLittleEndian32(chunkHeader + 4);
        if (!formatFound && std::memcmp(chunkHeader, "fmt ", 4) == 0) {
            if (bodySize < 16 || body + 16 > riffEnd)
                return refuse("its format chunk is damaged");
            uint8_t format[18] = {};
            const std::size_t formatBytes = static_cast<std::size_t>(std::min<uint64_t>(18, bodySize));
            if (!readAt(file.get(), format, formatBytes, static_cast<off_t>(body)))
                return refuse("its format chunk cannot be read");
            wav.format = PcmWavFormat{readLittleEndian16(format),      readLittleEndian16(format + 2),
                                      readLittleEndian32(format + 4),  readLittleEndian32(format + 8),
                                      readLittleEndian16(format + 12), readLittleEndian16(format + 14),
                                      readLittleEndian16(format + 16)};
            formatFound = true;
        } else if (formatFound && std::memcmp(chunkHeader, "data", 4) == 0) {
            const PcmWavFormat& format = wav.format;
            if (format.formatTag != 1 || (format.bitsPerSample != 8 && format.bitsPerSample != 16)
                || (format.channels != 1 && format.channels != 2) || format.sampleRate < 2000
                || format.sampleRate > 88200)
                return refuse("not PCM audio of 8 or 16 bits, 1 or 2 channels and 2000 to 88200 Hz");
            const uint64_t dataSize = std::min(bodySize, fileSize - body);
            if (dataSize == 0)
                return refuse("holds no audio");
            std::string reason;
            const bool opened = access == PcmAccess::ReadOnly ? wav.region.openForReading(path, body, dataSize, &reason)
                                                              : wav.region.openForRewrite(path, body, dataSize, &reason);
            if (!opened)
                return refuse(reason);
            return wav;
        }
        chunk = body + bodySize + (bodySize & 1);
    }
    return refuse(formatFound ? "it has no data chunk" : "it has no format chunk");
}

}
