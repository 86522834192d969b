#include "cd_ripper.h"

#include "audiofiles/wav_header.h"
#include "cd_drives.h"
#include "mmc_commands.h"
#include "table_of_contents.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace sorvak::cd {

namespace {

using wavelark::scsi::ScsiDevice;

// A unit attention is answered once per change; a command that meets one is sent again, a few
// times at most (a drive that reports a change at every command is broken).
constexpr int kAttentionRetries = 4;
constexpr auto kReadyPoll = std::chrono::milliseconds(100);

// The track number: the two decimal digits six characters before the end ("Track05.cda").
int trackNumber(const char* trackPath)
{
    size_t length = std::strlen(trackPath);
    if (length < 6)
        return -1;
    char tens = trackPath[length - 6], units = trackPath[length - 5];
    if (tens < '0' || tens > '9' || units < '0' || units > '9')
        return -1;
    return (tens - '0') * 10 + (units - '0');
}

// The drive whose root the path starts with, compared exactly (case matters).
const CdDrive* driveOf(const CdDriveTable& table, const char* trackPath)
{
    for (const CdDrive& drive : table.drives)
        if (std::strncmp(trackPath, drive.root.c_str(), drive.root.size()) == 0)
            return &drive;
    return nullptr;
}

// The milliseconds left until deadline, 0 once it has passed.
uint32_t millisecondsLeft(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<uint32_t>(std::min<int64_t>(left.count(), UINT32_MAX)) : 0;
}

// Starts the disc turning and waits until the drive is ready. The whole wait, START STOP UNIT
// included, ends by readyWait: each command is given no more than the time left as its
// time-out, so none can end past it, and none is started once it has passed.
bool spinUp(ScsiDevice& device, std::chrono::milliseconds readyWait)
{
    auto deadline = std::chrono::steady_clock::now() + readyWait;
    // Drives that refuse START STOP UNIT still turn up by themselves: only an empty drive ends
    // the rip here.
    for (int attempt = 0; attempt < kAttentionRetries; ++attempt) {
        uint32_t left = millisecondsLeft(deadline);
        if (left == 0)
            return false;
        Outcome started = startUnit(device, std::min(left, kMediumTimeoutMilliseconds)).outcome;
        if (started == Outcome::NoMedium)
            return false;
        if (started != Outcome::MediumChanged)
            break;
    }
    for (;;) {
        uint32_t left = millisecondsLeft(deadline);
        if (left == 0)
            return false;
        switch (testUnitReady(device, std::min(left, kQueryTimeoutMilliseconds)).outcome) {
        case Outcome::Good:
            return true;
        case Outcome::NoMedium:
        case Outcome::Failed:
            return false;
        default:
            break;
        }
        left = millisecondsLeft(deadline);
        if (left == 0)
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(kReadyPoll, std::chrono::milliseconds(left)));
    }
}

bool readTable(ScsiDevice& device, TableOfContents& table)
{
    std::array<uint8_t, kTocBytes> answer{};
    for (int attempt = 0; attempt < kAttentionRetries; ++attempt) {
        Answer read = readToc(device, answer);
        if (read.outcome == Outcome::MediumChanged)
            continue;
        if (read.outcome != Outcome::Good)
            return false;
        return parseTableOfContents(std::span(answer).first(std::min<uint32_t>(read.transferred, kTocBytes)), table)
               == TocError::None;
    }
    return false;
}

// Writes sectors to the file one by one, calling progress after each; the file so ends after
// the sector whose progress call cancelled, however many sectors one command read.
class SectorWriter {
public:
    SectorWriter(std::FILE* file, uint32_t total, SorvakProgressFunction progress)
        : m_file(file), m_total(total), m_progress(progress)
    {
    }

    enum class Step { Continue, Cancelled, WriteFailed };

    Step append(const uint8_t* sector)
    {
        if (std::fwrite(sector, 1, kSectorBytes, m_file) != kSectorBytes)
            return Step::WriteFailed;
        uint32_t before = m_written++;
        if (m_progress && m_progress(static_cast<int>(percent(before, m_total))) != 0)
            return Step::Cancelled;
        return Step::Continue;
    }

    uint32_t written() const { return m_written; }

private:
    std::FILE* m_file;
    uint32_t m_total;
    SorvakProgressFunction m_progress;
    uint32_t m_written = 0;
};

// Reads the logical blocks [first, first + total) into the writer. A command over several
// sectors that fails is read again one sector at a time, so the file ends exactly before the
// first sector that cannot be read.
RipResult readSectors(ScsiDevice& device, uint32_t first, uint32_t total, uint32_t sectorsPerRead,
                      SectorWriter& writer)
{
    std::vector<uint8_t> buffer(static_cast<size_t>(sectorsPerRead) * kSectorBytes);
    while (writer.written() < total) {
        uint32_t block = first + writer.written();
        uint32_t count = std::min(sectorsPerRead, total - writer.written());
        Answer read = readCd(device, block, count, buffer);
        // A disc changed under the rip: what follows would come from another disc.
        if (read.outcome == Outcome::MediumChanged)
            return kRipReadError;
        bool whole = read.outcome == Outcome::Good && read.transferred == count * kSectorBytes;
        uint32_t usable = whole ? count : 0;
        if (!whole && count == 1)
            return kRipReadError;
        if (!whole) {
            // One at a time up to the first sector that fails.
            for (uint32_t sector = 0; sector < count; ++sector) {
                Answer single = readCd(device, block + sector, 1, std::span(buffer).subspan(sector * kSectorBytes));
                if (single.outcome != Outcome::Good || single.transferred != kSectorBytes)
                    break;
                ++usable;
            }
        }
        for (uint32_t sector = 0; sector < usable; ++sector) {
            SectorWriter::Step step = writer.append(buffer.data() + static_cast<size_t>(sector) * kSectorBytes);
            if (step == SectorWriter::Step::Cancelled)
                return kRipDone;
            if (step == SectorWriter::Step::WriteFailed)
                return kRipWriteFailed;
        }
        if (usable < count)
            return kRipReadError;
    }
    return kRipDone;
}

}

int ripTrack(const char* trackPath, const char* destination, SorvakProgressFunction progress, const RipLimits& limits)
{
    if (progress)
        progress(-1);
    if (!trackPath || !destination)
        return kRipNoSuchTrack;
    int track = trackNumber(trackPath);
    CdDriveTable drives = cdDrives();
    const CdDrive* drive = driveOf(drives, trackPath);
    if (track < 0 || !drive)
        return kRipNoSuchTrack;

    std::string error;
    std::unique_ptr<ScsiDevice> device = drives.backend->open(drive->path, error);
    if (!device)
        return kRipDriveNotReady;
    // The table is read at every rip: the disc may have been changed since the last one.
    TableOfContents table;
    if (!spinUp(*device, limits.readyWait) || !readTable(*device, table))
        return kRipDriveNotReady;
    if (!table.holds(track) || table.dataTrack[track])
        return kRipNoSuchTrack;

    uint32_t start = table.frameAddress[track];
    uint32_t end = table.frameAddress[track + 1];
    std::FILE* file = std::fopen(destination, "wbe");
    if (!file)
        return kRipWriteFailed;
    if (!writeWavHeaderTemplate(file)) {
        std::fclose(file);
        unlink(destination);
        return kRipWriteFailed;
    }
    SectorWriter writer(file, end - start, progress);
    uint32_t sectorsPerRead = std::clamp<uint32_t>(limits.sectorsPerRead, 1, kMaxSectorsPerRead);
    RipResult result = readSectors(*device, start - kLeadInFrames, end - start, sectorsPerRead, writer);
    bool closed = std::fclose(file) == 0;
    bool finalised = finaliseWavHeader(destination);
    if (result == kRipDone && !(closed && finalised))
        result = kRipWriteFailed;
    // A file cut short by a full disk would look like a whole short track: it goes, as after
    // every other failure to write. A read error or a cancel keeps what was read.
    if (result == kRipWriteFailed)
        unlink(destination);
    return result;
}

}

SORVAK_API int CDtoWAV(const char* trackPath, const char* destination, int /*unused*/, SorvakProgressFunction progress)
{
    return sorvak::cd::ripTrack(trackPath, destination, progress, {});
}
