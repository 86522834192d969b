#include "take/maximise_journal.h"

#include "core/file_toolbox.h"
#include "little_endian.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace wavelark {

namespace {

// "WLMJ", a version, then the fields little-endian, the original bytes, and an FNV-1a checksum of
// everything before it. Version 2 adds the take's id (32 bytes of text, zeros without one) before
// the original's length; version 1 journals, from before ids, are still read.
constexpr std::array<uint8_t, 4> kMagic = {'W', 'L', 'M', 'J'};
constexpr uint32_t kVersion = 2;
constexpr std::size_t kIdBytes = 32;
constexpr std::size_t kIdOffset = 4 + 4 + 8 * 3 + 4 + 8;                // after magic .. window offset
constexpr std::size_t kVersion1FixedBytes = kIdOffset + 8;              // .. original length
constexpr std::size_t kFixedBytes = kIdOffset + kIdBytes + 8;           // .. id, original length
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

template <typename Unsigned>
void put(std::vector<uint8_t>& into, Unsigned value)
{
    const std::size_t at = into.size();
    into.resize(at + sizeof value);
    writeLittleEndian(into.data() + at, value);
}

// Reads the journal's bytes; nothing with the reason in problem when it cannot be read or is far
// too large to be a journal.
std::optional<std::vector<uint8_t>> readJournalBytes(int descriptor, std::string* problem)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        *problem = std::strerror(errno);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    if (status.st_size < 0 || static_cast<uint64_t>(status.st_size) > kFixedBytes + kLargestWindow + kChecksumBytes)
        return bytes;
    bytes.resize(static_cast<std::size_t>(status.st_size));
    const ssize_t got = readFully(descriptor, bytes.data(), bytes.size(), 0);
    if (got < 0) {
        *problem = std::strerror(errno);
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

}

std::string maximiseJournalPath(const std::string& takePath)
{
    return takePath + ".maximise";
}

std::optional<TakeIdentity> takeIdentity(int descriptor, const std::string& id)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        return std::nullopt;
    return TakeIdentity{id, static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
                        static_cast<uint64_t>(status.st_size)};
}

bool sameTake(const TakeIdentity& journalTake, const TakeIdentity& take)
{
    if (journalTake.size != take.size)
        return false;
    if (!journalTake.id.empty() && !take.id.empty())
        return journalTake.id == take.id;
    return journalTake.device == take.device && journalTake.inode == take.inode;
}

bool writeMaximiseJournal(const std::string& journalPath, const JournalEntry& entry, std::string* error)
{
    std::vector<uint8_t> bytes(kMagic.begin(), kMagic.end());
    bytes.reserve(kFixedBytes + entry.original.size() + kChecksumBytes);
    put<uint32_t>(bytes, kVersion);
    put<uint64_t>(bytes, entry.take.device);
    put<uint64_t>(bytes, entry.take.inode);
    put<uint64_t>(bytes, entry.take.size);
    put<uint32_t>(bytes, static_cast<uint16_t>(entry.peak));
    put<uint64_t>(bytes, entry.offset);
    std::array<uint8_t, kIdBytes> id{};
    std::memcpy(id.data(), entry.take.id.data(), std::min(entry.take.id.size(), kIdBytes));
    bytes.insert(bytes.end(), id.begin(), id.end());
    put<uint64_t>(bytes, entry.original.size());
    bytes.insert(bytes.end(), entry.original.begin(), entry.original.end());
    put<uint64_t>(bytes, fnv1a(bytes.data(), bytes.size()));
    // The journal with its folder entry must be on disk before the take's window is touched.
    const std::optional<FileFailure> failure = replaceFile(journalPath, bytes);
    if (failure && error)
        *error = failure->reason();
    return !failure;
}

JournalReading readMaximiseJournal(const std::string& journalPath)
{
    JournalReading reading;
    FileDescriptor journal(::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!journal.isOpen()) {
        if (errno != ENOENT) {
            reading.state = JournalState::Damaged;
            reading.problem = std::strerror(errno);
        }
        return reading;
    }
    reading.state = JournalState::Damaged;
    const std::optional<std::vector<uint8_t>> read = readJournalBytes(journal.get(), &reading.problem);
    if (!read)
        return reading;
    const std::vector<uint8_t>& bytes = *read;
    const uint32_t version = bytes.size() >= 8 ? readLittleEndian32(bytes.data() + 4) : 0;
    const std::size_t fixedBytes = version == 1 ? kVersion1FixedBytes : kFixedBytes;
    if (bytes.size() < fixedBytes + kChecksumBytes || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())
        || (version != 1 && version != kVersion)) {
        reading.problem = "it is not a journal of this program";
        return reading;
    }
    const uint64_t length = readLittleEndian64(bytes.data() + fixedBytes - 8);
    if (length != bytes.size() - fixedBytes - kChecksumBytes
        || fnv1a(bytes.data(), bytes.size() - kChecksumBytes)
               != readLittleEndian64(bytes.data() + bytes.size() - kChecksumBytes)) {
        reading.problem = "it is damaged";
        return reading;
    }
    JournalEntry& entry = reading.entry;
    entry.take.device = readLittleEndian64(bytes.data() + 8);
    entry.take.inode = readLittleEndian64(bytes.data() + 16);
    entry.take.size = readLittleEndian64(bytes.data() + 24);
    entry.peak = static_cast<int16_t>(readLittleEndian32(bytes.data() + 32));
    entry.offset = readLittleEndian64(bytes.data() + 36);
    if (version != 1) {
        const char* id = reinterpret_cast<const char*>(bytes.data() + kIdOffset);
        entry.take.id.assign(id, strnlen(id, kIdBytes));
    }
    if (entry.peak <= 0 || entry.offset > entry.take.size || length > entry.take.size - entry.offset) {
        reading.problem = "its window lies outside its take";
        return reading;
    }
    entry.original.assign(bytes.begin() + static_cast<std::ptrdiff_t>(fixedBytes), bytes.end() - kChecksumBytes);
    reading.state = JournalState::Valid;
    return reading;
}

bool removeMaximiseJournal(const std::string& journalPath)
{
    // A window's journal cut off while it was written is left under the toolbox's side name.
    ::unlink((journalPath + ".part").c_str());
    return ::unlink(journalPath.c_str()) == 0 || errno == ENOENT;
}

}
