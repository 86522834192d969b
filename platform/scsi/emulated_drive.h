// An emulated MMC optical drive for tests and machines without a drive: it answers INQUIRY,
// TEST UNIT READY, START STOP UNIT, READ TOC (format 0, addresses as MSF or logical blocks) and
// READ CD (user data of whole CD-DA sectors, main channel only) from the synthetic disc that
// WAVELARK_CD describes (emulated_drive_settings.h). Other commands are refused with ILLEGAL
// REQUEST, invalid command operation code, as a drive would. A command that would take longer
// than its time-out (delay= longer than ScsiCommand::timeoutMilliseconds, 0 meaning no
// time-out) ends when the time-out passes, not delivered, as SG_IO ends it.
//
// The variable is read when a drive is opened, so a drive opened after the variable changed
// plays the new disc and reports the change first. Drive state that outlives an open (the disc
// last seen, the command counts, the moment the disc was started) is process-wide and locked.
#pragma once

#include "scsi_device.h"

namespace wavelark::scsi {

std::unique_ptr<ScsiBackend> makeEmulatedBackend();

// The commands the emulated drive at path has answered since the process started, INQUIRY
// included; for measuring how many commands a caller needs.
uint64_t emulatedCommandCount(const std::string& path);

}
