// Picks the backend named by WAVELARK_AUDIO.

#include "device_stream.h"
#include "portaudio_backend.h"
#include "test_backend.h"
#include "test_settings.h"

#include <cstdlib>
#include <string_view>

namespace wavelark::audio {

std::unique_ptr<AudioBackend> chooseBackend(std::string& error)
{
    const char* variable = std::getenv("WAVELARK_AUDIO");
    std::string_view value = variable ? variable : "";
    if (value.empty() || value == "portaudio")
        return makePortAudioBackend();
    if (value == "test" || value.starts_with("test:")) {
        std::optional<TestSettings> settings = parseTestSettings(value, error);
        return settings ? makeTestBackend(*settings) : nullptr;
    }
    error = "WAVELARK_AUDIO='" + std::string(value) + "' names no audio backend: use portaudio or test[:options]";
    return nullptr;
}

SoundDevices soundDevices()
{
    std::string ignoredReason;
    std::unique_ptr<AudioBackend> backend = chooseBackend(ignoredReason);
    if (!backend)
        return {};
    SoundDevices devices;
    devices.inputs = backend->inputDevices();
    devices.outputs = backend->outputDevices();
    return devices;
}

}
