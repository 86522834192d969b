// Support for the engine and widget tests: the application, the bound toolkit, the settings,
// data folder and monitor FIFO the session would give the engines, and the test audio device.
#pragma once

#include "audio/device_choice.h"
#include "audio/monitor_fifo.h"

#include "core/data_folders.h"
#include "core/settings.h"

#include "support/temporary_folder.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wavelark::testing {

// Creates the QApplication and binds the built toolkit, once per process.
void ensureRecorderRuntime();

// What the session hands the engines: default settings (8192-byte buffers, 8 of them), the
// monitor FIFO, and the data folder (recording.raw, wd.dat) in a fresh folder.
struct CaptureFixtureState {
    TemporaryFolder folder;
    Settings settings;
    DataPaths paths;
    std::unique_ptr<MonitorFifo> monitor = std::make_unique<MonitorFifo>();
    CaptureFixtureState();
    std::string takePath() const { return paths.take().toStdString(); }
    DeviceChoice recordChoice() const { return {settings.recordDevice, settings.bufferSize, settings.bufferCount}; }
    DeviceChoice playbackChoice() const { return {settings.playbackDevice, settings.bufferSize, settings.bufferCount}; }
};

// Sets WAVELARK_AUDIO for the devices opened from now on.
void useTestDevice(const std::string& options);

// Runs the event loop until done() holds or the timeout passes; returns done().
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20));

std::vector<int16_t> readSamples(const std::string& path);
void writeSamples(const std::string& path, const std::vector<int16_t>& samples);

}
