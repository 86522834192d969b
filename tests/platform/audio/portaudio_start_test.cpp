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

// The device menus number PortAudio's devices as the lists do: a list is as long as its count,
// names every device, and its default is one of them or none.
TEST(PortAudioBackend, DeviceListsNameEveryCountedDeviceAndPointAtTheDefault)
{
    TemporaryFolder folder;
    StandardErrorCapture capture(folder.file("stderr"));
    std::unique_ptr<AudioBackend> backend = makePortAudioBackend();
    const struct {
        DeviceList list;
        int count;
    } directions[] = {{backend->inputDevices(), backend->inputDeviceCount()},
                      {backend->outputDevices(), backend->outputDeviceCount()}};
    for (const auto& direction : directions) {
        EXPECT_EQ(static_cast<int>(direction.list.names.size()), direction.count);
        for (const std::string& name : direction.list.names)
            EXPECT_FALSE(name.empty());
        EXPECT_GE(direction.list.defaultDevice, kDefaultDevice);
        EXPECT_LT(direction.list.defaultDevice, direction.count);
    }
}
