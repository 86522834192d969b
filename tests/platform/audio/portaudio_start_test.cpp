// Starting PortAudio through the layer shows nothing of what ALSA and JACK print while it looks
// for cards and servers. Not run in the sanitizer builds: the ALSA plug-ins PortAudio loads and
// unloads keep allocations the leak checker cannot even name.

#include "platform/audio/audio_test_support.h"
#include "portaudio_backend.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace wavelark::audio;
using wavelark::testing::StandardErrorCapture;
using wavelark::testing::TemporaryFolder;

TEST(PortAudioBackend, CountingDevicesShowsNothingOfTheSoundLibraries)
{
    TemporaryFolder folder;
    StandardErrorCapture capture(folder.file("stderr"));
    std::unique_ptr<AudioBackend> backend = makePortAudioBackend();
    backend->inputDeviceCount();
    backend->outputDeviceCount();
    // PortAudio's own notes on a device it could not configure ("Expression '...' failed in
    // '...'") cannot be held; nothing else may come through.
    std::istringstream lines(capture.text());
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.rfind("Expression '", 0), 0u) << line;
}
