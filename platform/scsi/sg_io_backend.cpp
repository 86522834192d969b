#include "sg_io_backend.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace wavelark::scsi {

namespace {

// SG_IO's driver status carries "sense data was returned" beside real driver faults; only the
// latter mean the answer is not the device's.
constexpr unsigned kDriverSense = 0x08;
constexpr unsigned kDriverStatusMask = 0x0F;

class SgIoDevice final : public ScsiDevice {
public:
    SgIoDevice(int descriptor, SgIoCall call, bool ownsDescriptor)
        : m_descriptor(descriptor), m_call(std::move(call)), m_ownsDescriptor(ownsDescriptor)
    {
    }

    ~SgIoDevice() override
    {
        if (m_ownsDescriptor && m_descriptor >= 0)
            ::close(m_descriptor);
    }

    ScsiResult execute(const ScsiCommand& command) override
    {
        sg_io_hdr_t header;
        if (!buildSgIoRequest(command, header)) {
            ScsiResult refused;
            refused.error = "the command cannot be carried by SG_IO";
            return refused;
        }
        int answer;
        do {
            answer = m_call(m_descriptor, SG_IO, &header);
        } while (answer < 0 && errno == EINTR);
        if (answer < 0) {
            ScsiResult failed;
            failed.error = std::string("SG_IO failed: ") + std::strerror(errno);
            return failed;
        }
        return sgIoResult(command, header);
    }

private:
    int m_descriptor;
    SgIoCall m_call;
    bool m_ownsDescriptor;
};

// The number after "sr" in a device name, or -1 when the name is not sr followed by digits.
long driveNumber(const std::string& name)
{
    if (name.size() < 3 || name.compare(0, 2, "sr") != 0 || name.size() > 8)
        return -1;
    long number = 0;
    for (size_t index = 2; index < name.size(); ++index) {
        if (name[index] < '0' || name[index] > '9')
            return -1;
        number = number * 10 + (name[index] - '0');
    }
    return number;
}

class SgIoBackend final : public ScsiBackend {
public:
    std::vector<std::string> devicePaths() override
    {
        std::vector<std::pair<long, std::string>> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
            std::string name = entry.path().filename().string();
            long number = driveNumber(name);
            if (number >= 0)
                found.emplace_back(number, entry.path().string());
        }
        std::sort(found.begin(), found.end());
        std::vector<std::string> paths;
        for (auto& [number, path] : found)
            paths.push_back(std::move(path));
        return paths;
    }

    std::unique_ptr<ScsiDevice> open(const std::string& path, std::string& error) override
    {
        int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            error = path + ": " + std::strerror(errno);
            return nullptr;
        }
        return makeSgIoDevice(descriptor, [](int descriptor, unsigned long request, sg_io_hdr_t* header) {
            return ::ioctl(descriptor, request, header);
        });
    }
};

}

bool buildSgIoRequest(const ScsiCommand& command, sg_io_hdr_t& header)
{
    std::memset(&header, 0, sizeof header);
    if (command.cdb.empty() || command.cdb.size() > 16 || command.sense.size() > UCHAR_MAX
        || command.dataIn.size() > UINT_MAX)
        return false;
    header.interface_id = 'S';
    header.cmd_len = static_cast<unsigned char>(command.cdb.size());
    // The kernel only reads the CDB; the field is not const in its header.
    header.cmdp = const_cast<unsigned char*>(command.cdb.data());
    header.dxfer_direction = command.dataIn.empty() ? SG_DXFER_NONE : SG_DXFER_FROM_DEV;
    header.dxfer_len = static_cast<unsigned int>(command.dataIn.size());
    header.dxferp = command.dataIn.empty() ? nullptr : command.dataIn.data();
    header.mx_sb_len = static_cast<unsigned char>(command.sense.size());
    header.sbp = command.sense.empty() ? nullptr : command.sense.data();
    header.timeout = command.timeoutMilliseconds;
    return true;
}

ScsiResult sgIoResult(const ScsiCommand& command, const sg_io_hdr_t& header)
{
    ScsiResult result;
    if (header.host_status != 0 || (header.driver_status & kDriverStatusMask & ~kDriverSense) != 0) {
        result.error = "the host adapter or driver failed (host status " + std::to_string(header.host_status)
                       + ", driver status " + std::to_string(header.driver_status) + ")";
        return result;
    }
    result.delivered = true;
    result.status = header.status;
    result.senseLength = std::min<uint32_t>(header.sb_len_wr, static_cast<uint32_t>(command.sense.size()));
    // A residue outside 0..length would be the driver's fault; never report more than asked.
    int residue = std::clamp<int>(header.resid, 0, static_cast<int>(header.dxfer_len));
    result.transferred = header.dxfer_len - static_cast<uint32_t>(residue);
    return result;
}

std::unique_ptr<ScsiDevice> makeSgIoDevice(int descriptor, SgIoCall call, bool ownsDescriptor)
{
    return std::make_unique<SgIoDevice>(descriptor, std::move(call), ownsDescriptor);
}

std::unique_ptr<ScsiBackend> makeSgIoBackend()
{
    return std::make_unique<SgIoBackend>();
}

}
