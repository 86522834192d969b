// The recorder's process-wide working state that the shell creates at start-up and the other
// parts of the program read and change: the Settings record, the pending latency and buffer
// count, the folders, the monitor FIFO, the meter peaks and the player.
#pragma once

#include "shell/settings.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

namespace wavelark {

inline constexpr std::size_t kMonitorFifoSize = 1048576;

struct ShellState {
    // Window thread, except where noted.
    Settings settings{};
    bool settingsLoaded = false;      // the record holds the file's or the default values

    // A new "Latency" or "Buffers" choice waits here until shutdown, because running capture and
    // playback keep using the record's buffer size and count.
    uint32_t pendingLatency = 0;
    bool latencyChanged = false;
    uint32_t pendingBufferCount = 0;
    bool bufferCountChanged = false;

    QString dataFolder;               // ends with '/'
    QString settingsPath;             // dataFolder + "settings.dat"
    QString takePath;                 // dataFolder + "recording.raw"
    QString mixerProgram;             // pavucontrol's path, empty when it was not found

    // The live input on its way to the player: appended by the capture worker, taken from the
    // front by the player worker, write position reset by the window's timer.
    std::vector<uint8_t> monitorFifo;
    std::atomic<uint32_t> monitorWritePosition{0};

    // Gains 0.0..1.0 from the "Rec" and "Play" sliders (1 - position x 0.01), and the live copy of
    // the monitor-thru field; read by the capture and player workers.
    std::atomic<double> recordGain{1.0};
    std::atomic<double> playGain{1.0};
    std::atomic<bool> monitorThru{false};

    // Level-meter peaks 0.0..1.0, set by the capture worker, lowered by the window's timer.
    std::atomic<double> leftPeak{1.0};
    std::atomic<double> rightPeak{1.0};

    // Long operations in progress (their progress text depends on which).
    bool saving = false;
    bool importing = false;

    // The toolkit's player; null until playback opens it.
    void* player = nullptr;
};

}
