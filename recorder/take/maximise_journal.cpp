#include "take/maximise_journal.h"

#include "take/pcm_blocks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace wavelark {

namespace {

// "WLMJ", a version, then the fields little-endian, the original bytes, and an FNV-1a checksum of
// everything before it.
constexpr std::array<uint8_t, 4> kMagic = {'W', 'L', 'M', 'J'};
constexpr uint32_t kVersion = 1;
constexpr std::size_t kFixedBytes = 4 + 4 + 8 * 3 + 4 + 8 + 8;  // magic .. original length
constexpr std::size_t kChecksumBytes = 8;
// A window is a few megabytes; anything much larger is not a journal this program wrote.
constexpr uint64_t kLargestWindow = uint64_t{1} << 30;

uint64_t fnv1a(const uint8_t* bytes, std::size_t count)
{
    uint64_t hash = 1469598103934665603ull;
    for (std::size_t index = 0; index < count; ++index) {
        hash ^= bytes[index];
        hash *= 1099511628211ull;
    }
    return hash;
}

void put(std::vector<uint8_t>& into, uint64_t value, int bytes)
{
    for (int index = 0; index < bytes; ++index)
        into.push_back(static_cast<uint8_t>(value >> (8 * index)));
}

uint64_t get(const uint8_t* from, int bytes)
{
    uint64_t value = 0;
    for (int index = 0; index < bytes; ++index)
        value |= uint64_t{from[index]} << (8 * index);
    return value;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool fail(std::string* error)
{
    if (error)
        *error = std::strerror(errno);
    return false;
}

}

std::string maximiseJournalPath(const std::string& takePath)
{
    return takePath + ".maximise";
}

std::optional<TakeIdentity> takeIdentity(int descriptor)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        return std::nullopt;
    return TakeIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
                        static_cast<uint64_t>(status.st_size)};
}

bool writeMaximiseJournal(const std::string& journalPath, const JournalEntry& entry, std::string* error)
{
    std::vector<uint8_t> bytes(kMagic.begin(), kMagic.end());
    bytes.reserve(kFixedBytes + entry.original.size() + kChecksumBytes);
    put(bytes, kVersion, 4);
    put(bytes, entry.take.device, 8);
    put(bytes, entry.take.inode, 8);
    put(bytes, entry.take.size, 8);
    put(bytes, static_cast<uint16_t>(entry.peak), 4);
    put(bytes, entry.offset, 8);
    put(bytes, entry.original.size(), 8);
    bytes.insert(bytes.end(), entry.original.begin(), entry.original.end());
    put(bytes, fnv1a(bytes.data(), bytes.size()), 8);

    const std::string side = journalPath + ".part";
    const int descriptor = ::open(side.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return fail(error);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            const int reason = errno;
            ::close(descriptor);
            ::unlink(side.c_str());
            errno = reason;
            return fail(error);
        }
        done += static_cast<std::size_t>(written);
    }
    if (::fdatasync(descriptor) != 0) {
        const int reason = errno;
        ::close(descriptor);
        ::unlink(side.c_str());
        errno = reason;
        return fail(error);
    }
    if (::close(descriptor) != 0 || ::rename(side.c_str(), journalPath.c_str()) != 0) {
        const int reason = errno;
        ::unlink(side.c_str());
        errno = reason;
        return fail(error);
    }
    // The rename must be on disk before the take's window is touched.
    return syncFolder(folderOf(journalPath)) || fail(error);
}

JournalReading readMaximiseJournal(const std::string& journalPath)
{
    JournalReading reading;
    const int descriptor = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        if (errno != ENOENT) {
            reading.state = JournalState::Damaged;
            reading.problem = std::strerror(errno);
        }
        return reading;
    }
    reading.state = JournalState::Damaged;
    struct stat status {};
    std::vector<uint8_t> bytes;
    if (::fstat(descriptor, &status) == 0 && status.st_size >= 0
        && static_cast<uint64_t>(status.st_size) <= kFixedBytes + kLargestWindow + kChecksumBytes) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(descriptor, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        bytes.resize(done);
    }
    ::close(descriptor);
    if (bytes.size() < kFixedBytes + kChecksumBytes || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())
        || get(bytes.data() + 4, 4) != kVersion) {
        reading.problem = "it is not a journal of this program";
        return reading;
    }
    const uint64_t length = get(bytes.data() + kFixedBytes - 8, 8);
    if (length != bytes.size() - kFixedBytes - kChecksumBytes
        || fnv1a(bytes.data(), bytes.size() - kChecksumBytes) != get(bytes.data() + bytes.size() - kChecksumBytes, 8)) {
        reading.problem = "it is damaged";
        return reading;
    }
    JournalEntry& entry = reading.entry;
    entry.take = {get(bytes.data() + 8, 8), get(bytes.data() + 16, 8), get(bytes.data() + 24, 8)};
    entry.peak = static_cast<int16_t>(get(bytes.data() + 32, 4));
    entry.offset = get(bytes.data() + 36, 8);
    if (entry.peak <= 0 || entry.offset > entry.take.size || length > entry.take.size - entry.offset) {
        reading.problem = "its window lies outside its take";
        return reading;
    }
    entry.original.assign(bytes.begin() + kFixedBytes, bytes.end() - kChecksumBytes);
    reading.state = JournalState::Valid;
    return reading;
}

bool removeMaximiseJournal(const std::string& journalPath)
{
    return ::unlink(journalPath.c_str()) == 0 || errno == ENOENT;
}

}
