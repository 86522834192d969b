// SCSI pass-through: one command descriptor block sent to a device, with an optional data-in
// buffer, a time-out and a sense area, and the device's answer.
//
// The backend is chosen by the environment variable WAVELARK_CD when it is asked for
// (chooseScsiBackend): unset, empty or "sg" is the kernel's SG_IO on the optical drives
// /dev/sr*; "emulated..." is an emulated MMC drive playing a synthetic disc (see
// emulated_drive_settings.h for its options).
//
// A ScsiDevice is used by one thread at a time; different devices may be used on different
// threads at once. Every call is synchronous: execute returns once the device has answered or
// the time-out has passed. Buffers are the caller's and are only touched during execute.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace wavelark::scsi {

// SCSI status bytes the callers look at.
inline constexpr uint8_t kStatusGood = 0x00;
inline constexpr uint8_t kStatusCheckCondition = 0x02;

struct ScsiCommand {
    std::span<const uint8_t> cdb;         // 6, 10 or 12 bytes (at most 16)
    std::span<uint8_t> dataIn;            // empty: the command moves no data
    uint32_t timeoutMilliseconds = 5000;
    std::span<uint8_t> sense;             // filled with the sense data on CHECK CONDITION
};

struct ScsiResult {
    // False when the command never reached the device or its answer was lost (the device
    // vanished, the time-out passed, the host adapter failed); error then says why and the
    // other fields mean nothing.
    bool delivered = false;
    uint8_t status = kStatusGood;  // the device's SCSI status byte
    uint32_t senseLength = 0;      // bytes of sense written, at most sense.size()
    uint32_t transferred = 0;      // bytes of dataIn the device filled, at most dataIn.size()
    std::string error;

    bool good() const { return delivered && status == kStatusGood; }
};

class ScsiDevice {
public:
    virtual ~ScsiDevice() = default;
    // Sends one command and waits for its answer. A command whose CDB is empty or longer than
    // 16 bytes is not sent (delivered false).
    virtual ScsiResult execute(const ScsiCommand& command) = 0;
};

class ScsiBackend {
public:
    virtual ~ScsiBackend() = default;
    // The paths of the devices that may be optical drives, in a stable order (for SG_IO:
    // /dev/sr0, /dev/sr1, ... by number). Whether they answer is found out by opening them.
    virtual std::vector<std::string> devicePaths() = 0;
    // Opens one of them; null with the reason in error when it cannot be opened. The device is
    // closed when the object is destroyed.
    virtual std::unique_ptr<ScsiDevice> open(const std::string& path, std::string& error) = 0;
};

// The backend WAVELARK_CD names; null with the reason in error when the value names none or
// its options are malformed.
std::unique_ptr<ScsiBackend> chooseScsiBackend(std::string& error);

}
