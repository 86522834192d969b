#include "mmc_commands.h"

namespace sorvak::cd {

namespace {

using wavelark::scsi::ScsiCommand;
using wavelark::scsi::ScsiDevice;
using wavelark::scsi::ScsiResult;

constexpr uint32_t kSenseBytes = 32;

Answer send(ScsiDevice& device, std::span<const uint8_t> cdb, std::span<uint8_t> data, uint32_t timeout)
{
    std::array<uint8_t, kSenseBytes> sense{};
    ScsiCommand command{cdb, data, timeout, sense};
    ScsiResult result = device.execute(command);
    Answer answer;
    answer.outcome = classify(result, std::span<const uint8_t>(sense.data(), result.senseLength));
    answer.transferred = result.delivered ? result.transferred : 0;
    return answer;
}

}

Outcome classify(const ScsiResult& result, std::span<const uint8_t> sense)
{
    if (!result.delivered)
        return Outcome::Failed;
    if (result.status == wavelark::scsi::kStatusGood)
        return Outcome::Good;
    if (result.status != wavelark::scsi::kStatusCheckCondition || sense.empty())
        return Outcome::Failed;
    uint8_t key = 0, code = 0;
    uint8_t format = sense[0] & 0x7F;
    if ((format == 0x70 || format == 0x71) && sense.size() >= 13) {
        key = sense[2] & 0x0F;
        code = sense[12];
    } else if ((format == 0x72 || format == 0x73) && sense.size() >= 3) {
        key = sense[1] & 0x0F;
        code = sense[2];
    } else {
        return Outcome::Failed;
    }
    switch (key) {
    case 0x02:
        return code == 0x3A ? Outcome::NoMedium : Outcome::NotReady;
    case 0x03:
        return Outcome::MediumError;
    case 0x06:
        return Outcome::MediumChanged;
    default:
        return Outcome::Failed;
    }
}

Answer inquiry(ScsiDevice& device, std::span<uint8_t, kInquiryBytes> data)
{
    const uint8_t cdb[6] = {0x12, 0, 0, 0, kInquiryBytes, 0};
    return send(device, cdb, data, kQueryTimeoutMilliseconds);
}

Answer readToc(ScsiDevice& device, std::span<uint8_t, kTocBytes> data)
{
    // Format 0 (the table of contents) from the first track, addresses as minute/second/frame.
    const uint8_t cdb[10] = {0x43, 0x02, 0, 0, 0, 0, 0, kTocBytes >> 8, kTocBytes & 0xFF, 0};
    return send(device, cdb, data, kQueryTimeoutMilliseconds);
}

Answer startUnit(ScsiDevice& device, uint32_t timeoutMilliseconds)
{
    const uint8_t cdb[6] = {0x1B, 0, 0, 0, 0x01, 0};
    return send(device, cdb, {}, timeoutMilliseconds);
}

Answer testUnitReady(ScsiDevice& device, uint32_t timeoutMilliseconds)
{
    const uint8_t cdb[6] = {0, 0, 0, 0, 0, 0};
    return send(device, cdb, {}, timeoutMilliseconds);
}

std::array<uint8_t, 12> readCdCommand(uint32_t block, uint32_t count)
{
    return {0xBE,
            0x00,
            static_cast<uint8_t>(block >> 24),
            static_cast<uint8_t>(block >> 16),
            static_cast<uint8_t>(block >> 8),
            static_cast<uint8_t>(block),
            static_cast<uint8_t>(count >> 16),
            static_cast<uint8_t>(count >> 8),
            static_cast<uint8_t>(count),
            0xF8,
            0x00,
            0x00};
}

Answer readCd(ScsiDevice& device, uint32_t block, uint32_t count, std::span<uint8_t> buffer)
{
    if (count == 0 || count > kMaxSectorsPerRead || buffer.size() < static_cast<size_t>(count) * kSectorBytes)
        return {};
    std::array<uint8_t, 12> cdb = readCdCommand(block, count);
    return send(device, cdb, buffer.first(static_cast<size_t>(count) * kSectorBytes), kMediumTimeoutMilliseconds);
}

}
