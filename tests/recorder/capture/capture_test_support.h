// Support for the capture and waveform view tests: the application, the bound toolkit, a
// working state with a take path in a fresh folder, and the test audio device's settings.
#pragma once

#include "shell/shell_state.h"

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

// A working state as the shell makes it: default settings (8192-byte buffers, 8 of them), the
// monitor FIFO, and recording.raw in a fresh folder.
struct CaptureFixtureState {
    TemporaryFolder folder;
    std::unique_ptr<ShellState> state;
    CaptureFixtureState();
    std::string takePath() const { return state->takePath.toStdString(); }
};

// Sets WAVELARK_AUDIO for the devices opened from now on.
void useTestDevice(const std::string& options);

// Runs the event loop until done() holds or the timeout passes; returns done().
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20));

std::vector<int16_t> readSamples(const std::string& path);
void writeSamples(const std::string& path, const std::vector<int16_t>& samples);

}
