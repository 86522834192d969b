#include "cd_drives.h"

#include "mmc_commands.h"

#include <mutex>

namespace sorvak::cd {

namespace {

constexpr uint8_t kCdDeviceType = 0x05;

std::mutex g_tableMutex;
CdDriveTable g_table;
bool g_built = false;

// Vendor (8 bytes), product (16) and revision (4) as one text; bytes that are not printable
// ASCII become '?', and runs of blanks at the ends are dropped.
std::string deviceName(std::span<const uint8_t> inquiryData)
{
    std::string name;
    for (size_t index = 8; index < 36 && index < inquiryData.size(); ++index) {
        uint8_t byte = inquiryData[index];
        name += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?';
        if (index == 15 || index == 31)
            name += ' ';
    }
    size_t start = name.find_first_not_of(' ');
    if (start == std::string::npos)
        return {};
    size_t end = name.find_last_not_of(' ');
    std::string trimmed;
    for (size_t index = start; index <= end; ++index)
        if (name[index] != ' ' || trimmed.back() != ' ')
            trimmed += name[index];
    return trimmed;
}

CdDriveTable buildTable()
{
    CdDriveTable table;
    std::unique_ptr<wavelark::scsi::ScsiBackend> backend = wavelark::scsi::chooseScsiBackend(table.error);
    if (!backend)
        return table;
    table.backend = std::move(backend);
    for (const std::string& path : table.backend->devicePaths()) {
        if (table.drives.size() == kMaxCdDrives)
            break;
        std::string error;
        std::unique_ptr<wavelark::scsi::ScsiDevice> device = table.backend->open(path, error);
        if (!device)
            continue;
        std::array<uint8_t, kInquiryBytes> data{};
        Answer answer = inquiry(*device, data);
        if (answer.outcome != Outcome::Good || answer.transferred < 1 || (data[0] & 0x1F) != kCdDeviceType)
            continue;
        table.drives.push_back({path, path + "/", deviceName(std::span(data).first(answer.transferred))});
    }
    return table;
}

}

CdDriveTable cdDrives()
{
    std::lock_guard lock(g_tableMutex);
    if (!g_built || g_table.drives.empty()) {
        g_table = buildTable();
        g_built = true;
    }
    return g_table;
}

void forgetCdDrives()
{
    std::lock_guard lock(g_tableMutex);
    g_table = {};
    g_built = false;
}

}
