// The MMC commands the CD ripper sends to an optical drive, and what their answers mean to it.
#pragma once

#include "scsi_device.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace sorvak::cd {

// A CD-DA sector: 588 stereo frames of 16-bit samples.
inline constexpr uint32_t kSectorBytes = 2352;
// The most sectors one READ CD asks for: 27 sectors (63,504 bytes) stay under the 64 KiB that
// every host adapter transfers in one piece.
inline constexpr uint32_t kMaxSectorsPerRead = 27;
// The READ TOC allocation: a 4-byte header and 100 track descriptors of 8 bytes.
inline constexpr uint32_t kTocBytes = 804;
// The INQUIRY allocation: the standard data's 36 bytes and the vendor-specific bytes after them.
inline constexpr uint32_t kInquiryBytes = 100;
// The time-outs the commands are sent with unless given one: a drive may take long to spin up
// or to retry a scratched sector before it answers.
inline constexpr uint32_t kQueryTimeoutMilliseconds = 10000;
inline constexpr uint32_t kMediumTimeoutMilliseconds = 32767;

enum class Outcome {
    Good,
    NoMedium,       // not ready, no disc in the drive
    NotReady,       // not ready for another reason (becoming ready, spinning up)
    MediumChanged,  // unit attention: the disc (or the drive's state) changed since last asked
    MediumError,    // the disc could not be read there
    Failed,         // anything else: refused, not delivered, a hardware error
};

struct Answer {
    Outcome outcome = Outcome::Failed;
    uint32_t transferred = 0;
};

// The meaning of a command's result and its sense data (fixed or descriptor format).
Outcome classify(const wavelark::scsi::ScsiResult& result, std::span<const uint8_t> sense);

Answer inquiry(wavelark::scsi::ScsiDevice& device, std::span<uint8_t, kInquiryBytes> data);
Answer readToc(wavelark::scsi::ScsiDevice& device, std::span<uint8_t, kTocBytes> data);
// The two commands of waiting for a disc take the time-out they may run for (the time left of
// the wait); the device ends the command when it passes (Outcome::Failed).
Answer startUnit(wavelark::scsi::ScsiDevice& device, uint32_t timeoutMilliseconds = kMediumTimeoutMilliseconds);
Answer testUnitReady(wavelark::scsi::ScsiDevice& device, uint32_t timeoutMilliseconds = kQueryTimeoutMilliseconds);
// Reads count (1 .. kMaxSectorsPerRead) whole audio sectors from logical block address block.
Answer readCd(wavelark::scsi::ScsiDevice& device, uint32_t block, uint32_t count, std::span<uint8_t> buffer);

// The READ CD command block: all 2352 bytes of each sector, any sector type, main channel only.
std::array<uint8_t, 12> readCdCommand(uint32_t block, uint32_t count);

}
