// The CD drive table: the optical drives that answer INQUIRY as CD/DVD devices, at most 8, in
// the backend's order, each with its root (its device path and a '/', so track 5 of /dev/sr0
// is "/dev/sr0/Track05.cda") and its name from INQUIRY.
//
// The table is built at its first use, not when the library loads: asking a drive that is
// spinning up can take seconds. While no drive has been found it is built again at each use, so
// a drive plugged in later is found. Safe to call from any thread.
#pragma once

#include "scsi_device.h"

#include <memory>
#include <string>
#include <vector>

namespace sorvak::cd {

inline constexpr size_t kMaxCdDrives = 8;

struct CdDrive {
    std::string path;  // the device, as the backend opens it
    std::string root;  // path + "/"
    std::string name;  // vendor, product and revision from INQUIRY, blanks trimmed
};

struct CdDriveTable {
    std::shared_ptr<wavelark::scsi::ScsiBackend> backend;  // null when WAVELARK_CD names none
    std::vector<CdDrive> drives;
    std::string error;  // why the backend could not be chosen
};

// The table, built on first use (see above).
CdDriveTable cdDrives();

// Forgets the table, so that the next use builds it again (tests changing WAVELARK_CD).
void forgetCdDrives();

}
