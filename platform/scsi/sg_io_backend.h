// The kernel's SCSI generic pass-through (the SG_IO ioctl) on the optical drives /dev/sr*.
//
// Drives are opened read-only and non-blocking (O_RDONLY | O_NONBLOCK), which the kernel allows
// with no disc in the drive and without write access to the device.
#pragma once

#include "scsi_device.h"

#include <scsi/sg.h>

#include <functional>

namespace wavelark::scsi {

std::unique_ptr<ScsiBackend> makeSgIoBackend();

// The ioctl call a SG_IO device makes; tests stand in their own to see the request.
using SgIoCall = std::function<int(int descriptor, unsigned long request, sg_io_hdr_t* header)>;

// Fills a SG_IO request for the command: CDB, direction (from the device when dataIn is not
// empty, none otherwise), lengths, time-out in milliseconds and the sense area. False when the
// CDB length is 0 or above 16 or a length does not fit the request's fields.
bool buildSgIoRequest(const ScsiCommand& command, sg_io_hdr_t& header);

// The result of an answered SG_IO request: the status, the sense bytes written and the bytes
// transferred (the length asked for less the residue). A host adapter or driver failure other
// than sense data being present is reported as not delivered.
ScsiResult sgIoResult(const ScsiCommand& command, const sg_io_hdr_t& header);

// A device on an open descriptor, which it closes when destroyed (when owned); call carries
// out the ioctl.
std::unique_ptr<ScsiDevice> makeSgIoDevice(int descriptor, SgIoCall call, bool ownsDescriptor = true);

}
