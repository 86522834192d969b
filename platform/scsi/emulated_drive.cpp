#include "emulated_drive.h"

#include "emulated_drive_settings.h"
#include "test_signal.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace wavelark::scsi {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kSectorBytes = 2352;
constexpr uint32_t kFramesPerSector = kSectorBytes / 4;

// Sense keys and additional sense codes of the answers the drive gives.
struct Sense {
    uint8_t key;
    uint8_t code;
    uint8_t qualifier;
};
constexpr Sense kNotReadyNoMedium{0x02, 0x3A, 0x00};
constexpr Sense kNotReadyBecomingReady{0x02, 0x04, 0x01};
constexpr Sense kUnrecoveredReadError{0x03, 0x11, 0x00};
constexpr Sense kInvalidOperationCode{0x05, 0x20, 0x00};
constexpr Sense kBlockOutOfRange{0x05, 0x21, 0x00};
constexpr Sense kInvalidFieldInCdb{0x05, 0x24, 0x00};
constexpr Sense kMediumMayHaveChanged{0x06, 0x28, 0x00};

struct DriveState {
    std::string discText;       // the variable's value of the disc in the drive
    bool unitAttention = false; // a change not yet reported
    uint64_t commandsSinceLoad = 0;
    uint64_t commandsTotal = 0;
    std::optional<Clock::time_point> startedAt;
};

std::mutex g_drivesMutex;
std::map<std::string, DriveState> g_drives;  // by device path

std::string variableValue()
{
    const char* value = std::getenv("WAVELARK_CD");
    return value ? value : "";
}

std::string drivePath(int index)
{
    return "/dev/sr" + std::to_string(index);
}

void putBigEndian32(uint8_t* bytes, uint32_t value)
{
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

uint32_t bigEndian(std::span<const uint8_t> bytes, size_t offset, size_t count)
{
    uint32_t value = 0;
    for (size_t index = 0; index < count; ++index)
        value = value << 8 | bytes[offset + index];
    return value;
}

class EmulatedDrive final : public ScsiDevice {
public:
    EmulatedDrive(std::string path, EmulatedDiscSettings settings, std::string discText)
        : m_path(std::move(path)), m_settings(std::move(settings)), m_discText(std::move(discText))
    {
    }

    ScsiResult execute(const ScsiCommand& command) override
    {
        ScsiResult result;
        if (command.cdb.empty() || command.cdb.size() > 16) {
            result.error = "no command to send";
            return result;
        }
        if (m_settings.commandMilliseconds > 0) {
            // As the kernel does for SG_IO, a command still running when its time-out passes is
            // ended then, unanswered; the drive never saw it.
            uint32_t timeout = command.timeoutMilliseconds;
            if (timeout > 0 && timeout < m_settings.commandMilliseconds) {
                std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
                result.error = "the command's time-out of " + std::to_string(timeout) + " ms passed";
                return result;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(m_settings.commandMilliseconds));
        }
        result.delivered = true;
        uint8_t operation = command.cdb[0];

        bool ready = true;
        {
            std::lock_guard lock(g_drivesMutex);
            DriveState& state = g_drives[m_path];
            ++state.commandsTotal;
            if (state.discText != m_discText) {
                // A drive seen before with another disc reports the change once.
                state.unitAttention = !state.discText.empty() || state.unitAttention;
                state.discText = m_discText;
                state.commandsSinceLoad = 0;
                state.startedAt.reset();
            }
            ++state.commandsSinceLoad;
            if (m_settings.changeAtCommand && state.commandsSinceLoad == *m_settings.changeAtCommand)
                state.unitAttention = true;
            // INQUIRY is answered even with a change pending, as SPC requires.
            if (state.unitAttention && operation != 0x12) {
                state.unitAttention = false;
                return checkCondition(command, result, kMediumMayHaveChanged);
            }
            if (!state.startedAt)
                state.startedAt = Clock::now();
            if (!m_settings.readyAfterMilliseconds)
                ready = false;
            else
                ready = Clock::now() - *state.startedAt >= std::chrono::milliseconds(*m_settings.readyAfterMilliseconds);
        }

        switch (operation) {
        case 0x12:
            return inquiry(command, result);
        case 0x00:
        case 0x1B:
        case 0x43:
        case 0xBE:
            if (!m_settings.discPresent)
                return checkCondition(command, result, kNotReadyNoMedium);
            if (operation == 0x1B)
                return result;
            if (!ready)
                return checkCondition(command, result, kNotReadyBecomingReady);
            if (operation == 0x00)
                return result;
            return operation == 0x43 ? readToc(command, result) : readCd(command, result);
        default:
            return checkCondition(command, result, kInvalidOperationCode);
        }
    }

private:
    static ScsiResult& checkCondition(const ScsiCommand& command, ScsiResult& result, Sense sense)
    {
        uint8_t fixed[18] = {};
        fixed[0] = 0x70;
        fixed[2] = sense.key;
        fixed[7] = 10;
        fixed[12] = sense.code;
        fixed[13] = sense.qualifier;
        result.status = kStatusCheckCondition;
        result.senseLength = static_cast<uint32_t>(std::min(command.sense.size(), sizeof fixed));
        if (result.senseLength > 0)
            std::memcpy(command.sense.data(), fixed, result.senseLength);
        result.transferred = 0;
        return result;
    }

    static ScsiResult& answer(const ScsiCommand& command, ScsiResult& result, const uint8_t* bytes, size_t length,
                              size_t allocation)
    {
        size_t count = std::min({length, allocation, command.dataIn.size()});
        if (count > 0)
            std::memcpy(command.dataIn.data(), bytes, count);
        result.transferred = static_cast<uint32_t>(count);
        return result;
    }

    ScsiResult& inquiry(const ScsiCommand& command, ScsiResult& result)
    {
        if (command.cdb.size() < 6)
            return checkCondition(command, result, kInvalidFieldInCdb);
        uint8_t data[36] = {};
        data[0] = 0x05;  // CD/DVD device
        data[1] = 0x80;  // removable medium
        data[2] = 0x05;
        data[3] = 0x02;
        data[4] = sizeof data - 5;
        std::memcpy(data + 8, "WAVELARK", 8);
        std::memcpy(data + 16, "EMULATED CD-ROM ", 16);
        std::memcpy(data + 32, "1.0 ", 4);
        return answer(command, result, data, sizeof data, bigEndian(command.cdb, 3, 2));
    }

    uint8_t trackControl(int track) const
    {
        return track == m_settings.dataTrack ? 0x14 : 0x10;
    }

    ScsiResult& readToc(const ScsiCommand& command, ScsiResult& result)
    {
        if (command.cdb.size() < 10 || (command.cdb[2] & 0x0F) != 0)
            return checkCondition(command, result, kInvalidFieldInCdb);
        bool msf = command.cdb[1] & 0x02;
        int tracks = static_cast<int>(m_settings.trackStarts.size());
        std::vector<uint8_t> data(4 + 8 * (tracks + 1));
        data[0] = static_cast<uint8_t>((data.size() - 2) >> 8);
        data[1] = static_cast<uint8_t>(data.size() - 2);
        data[2] = 1;
        data[3] = static_cast<uint8_t>(tracks);
        for (int index = 0; index <= tracks; ++index) {
            uint8_t* descriptor = data.data() + 4 + 8 * index;
            bool leadOut = index == tracks;
            uint32_t address = leadOut ? m_settings.leadOut : m_settings.trackStarts[index];
            descriptor[1] = trackControl(leadOut ? tracks : index + 1);
            descriptor[2] = leadOut ? 0xAA : static_cast<uint8_t>(index + 1);
            if (msf) {
                descriptor[5] = static_cast<uint8_t>(address / 75 / 60);
                descriptor[6] = static_cast<uint8_t>(address / 75 % 60);
                descriptor[7] = static_cast<uint8_t>(address % 75);
            } else {
                putBigEndian32(descriptor + 4, address - kLeadInFrames);
            }
        }
        return answer(command, result, data.data(), data.size(), bigEndian(command.cdb, 7, 2));
    }

    ScsiResult& readCd(const ScsiCommand& command, ScsiResult& result)
    {
        if (command.cdb.size() < 12 || command.cdb[9] != 0xF8)
            return checkCondition(command, result, kInvalidFieldInCdb);
        uint32_t block = bigEndian(command.cdb, 2, 4);
        uint32_t count = bigEndian(command.cdb, 6, 3);
        uint32_t blocksOnDisc = m_settings.leadOut - kLeadInFrames;
        if (block > blocksOnDisc || count > blocksOnDisc - block)
            return checkCondition(command, result, kBlockOutOfRange);
        if (static_cast<uint64_t>(count) * kSectorBytes > command.dataIn.size())
            return checkCondition(command, result, kInvalidFieldInCdb);
        if (m_settings.errorBlock && *m_settings.errorBlock >= block && *m_settings.errorBlock - block < count)
            return checkCondition(command, result, kUnrecoveredReadError);
        if (m_settings.wavAudio && !loadWav(result))
            return result;
        for (uint32_t sector = 0; sector < count; ++sector)
            fillSector(block + sector, command.dataIn.data() + static_cast<size_t>(sector) * kSectorBytes);
        result.transferred = count * kSectorBytes;
        return result;
    }

    bool loadWav(ScsiResult& result)
    {
        if (m_wavLoaded)
            return true;
        std::string error;
        if (!audio::readWavFrames(m_settings.wavPath, 44100, m_wavFrames, error)) {
            result.delivered = false;
            result.error = "emulated drive: " + error;
            return false;
        }
        m_wavLoaded = true;
        return true;
    }

    void fillSector(uint32_t block, uint8_t* bytes) const
    {
        if (m_settings.wavAudio) {
            uint64_t offset = static_cast<uint64_t>(block) * kSectorBytes;
            size_t available = offset < m_wavFrames.size() ? std::min<uint64_t>(kSectorBytes, m_wavFrames.size() - offset) : 0;
            if (available > 0)
                std::memcpy(bytes, m_wavFrames.data() + offset, available);
            std::memset(bytes + available, 0, kSectorBytes - available);
            return;
        }
        for (uint32_t frame = 0; frame < kFramesPerSector; ++frame) {
            uint16_t left = static_cast<uint16_t>(block & 0xFFFF);
            uint16_t right = static_cast<uint16_t>(frame + 1024 * (block >> 16));
            uint8_t* at = bytes + frame * 4;
            at[0] = static_cast<uint8_t>(left);
            at[1] = static_cast<uint8_t>(left >> 8);
            at[2] = static_cast<uint8_t>(right);
            at[3] = static_cast<uint8_t>(right >> 8);
        }
    }

    std::string m_path;
    EmulatedDiscSettings m_settings;
    std::string m_discText;
    bool m_wavLoaded = false;
    std::vector<uint8_t> m_wavFrames;
};

class EmulatedBackend final : public ScsiBackend {
public:
    std::vector<std::string> devicePaths() override
    {
        std::string error;
        std::optional<EmulatedDiscSettings> settings = parseEmulatedDiscSettings(variableValue(), error);
        std::vector<std::string> paths;
        for (int index = 0; settings && index < settings->drives; ++index)
            paths.push_back(drivePath(index));
        return paths;
    }

    std::unique_ptr<ScsiDevice> open(const std::string& path, std::string& error) override
    {
        std::string value = variableValue();
        std::optional<EmulatedDiscSettings> settings = parseEmulatedDiscSettings(value, error);
        if (!settings)
            return nullptr;
        for (int index = 0; index < settings->drives; ++index)
            if (path == drivePath(index))
                return std::make_unique<EmulatedDrive>(path, std::move(*settings), value);
        error = path + ": no such emulated drive";
        return nullptr;
    }
};

}

std::unique_ptr<ScsiBackend> makeEmulatedBackend()
{
    return std::make_unique<EmulatedBackend>();
}

uint64_t emulatedCommandCount(const std::string& path)
{
    std::lock_guard lock(g_drivesMutex);
    auto found = g_drives.find(path);
    return found == g_drives.end() ? 0 : found->second.commandsTotal;
}

}
