// What the application keeps for the whole run, on the window thread only: the Settings record
// in memory, the latency and buffer choices that wait for the next start, the data folder's
// files and the mixer program. The engines never see it: the take's session gets the record and
// the paths, and the workers get the plain values they need when they are created.
#pragma once

#include "core/data_folders.h"
#include "core/settings.h"

#include <QString>

#include <cstdint>

namespace wavelark {

struct ProgramState {
    Settings settings{};
    bool settingsLoaded = false;      // the record holds the file's or the default values

    // A new "Latency" or "Buffers" choice waits here until shutdown, because running capture and
    // playback keep using the record's buffer size and count.
    uint32_t pendingLatency = 0;
    bool latencyChanged = false;
    uint32_t pendingBufferCount = 0;
    bool bufferCountChanged = false;

    DataPaths paths;
    // The stored archive folder when it could not be made at start-up: the music folder serves
    // this run, and this one is written back at shutdown unless the user chose another.
    QString unavailableArchiveFolder;
    QString mixerProgram;             // pavucontrol's path, empty when it was not found
};

}
