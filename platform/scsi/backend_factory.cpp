// Picks the SCSI pass-through backend named by WAVELARK_CD.

#include "emulated_drive.h"
#include "emulated_drive_settings.h"
#include "scsi_device.h"
#include "sg_io_backend.h"

#include <cstdlib>
#include <string_view>

namespace wavelark::scsi {

std::unique_ptr<ScsiBackend> chooseScsiBackend(std::string& error)
{
    const char* variable = std::getenv("WAVELARK_CD");
    std::string_view value = variable ? variable : "";
    if (value.empty() || value == "sg")
        return makeSgIoBackend();
    if (value == "emulated" || value.starts_with("emulated:")) {
        // Malformed options are reported now rather than as an empty drive list.
        if (!parseEmulatedDiscSettings(value, error))
            return nullptr;
        return makeEmulatedBackend();
    }
    error = "WAVELARK_CD='" + std::string(value) + "' names no CD drive backend: use sg or emulated[:options]";
    return nullptr;
}

}
