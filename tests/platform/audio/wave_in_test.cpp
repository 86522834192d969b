#include "platform/audio/audio_test_support.h"
#include "support/temporary_folder.h"
#include "wave_device.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace wavelark::audio;
using wavelark::testing::AudioSetting;

namespace {

constexpr uint32_t kBufferBytes = 4096;

// Records into four buffers that the callback queues again while requeue is set.
class Recorder {
public:
    explicit Recorder(int deviceId = kDefaultDevice)
    {
        m_waveIn = openWaveIn(deviceId, 44100, [this](WaveBuffer& buffer) { bufferBack(buffer); }, &m_error);
        for (size_t index = 0; index < m_headers.size(); ++index)
            m_headers[index] = {m_blocks[index].data(), kBufferBytes, 0, nullptr};
    }

    // Closed here, while what the callback writes to still exists.
    ~Recorder()
    {
        if (m_waveIn)
            m_waveIn->close();
    }

    WaveIn* waveIn() { return m_waveIn.get(); }
    const std::string& error() const { return m_error; }

    void queueAll()
    {
        for (WaveBuffer& header : m_headers)
            ASSERT_TRUE(m_waveIn->addBuffer(&header));
    }

    void waitFor(size_t bytes)
    {
        while (m_total.load() < bytes)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Read only while the worker is quiet (after reset or close).
    const std::string& recorded() const { return m_recorded; }
    int partialBuffers() const { return m_partialBuffers; }

private:
    void bufferBack(WaveBuffer& buffer)
    {
        m_recorded.append(reinterpret_cast<const char*>(buffer.data), buffer.bytesRecorded);
        m_partialBuffers += buffer.bytesRecorded < buffer.length;
        m_total += buffer.bytesRecorded;
        m_waveIn->addBuffer(&buffer);
    }

    std::array<std::array<uint8_t, kBufferBytes>, 4> m_blocks{};
    std::array<WaveBuffer, 4> m_headers{};
    std::unique_ptr<WaveIn> m_waveIn;
    std::string m_error;
    std::string m_recorded;
    int m_partialBuffers = 0;
    std::atomic<size_t> m_total{0};
};

}

TEST(WaveIn, RecordedRampArrivesCompleteAndInOrderAcrossReset)
{
    AudioSetting setting("test:input=ramp;pace=fast");
    Recorder recorder;
    ASSERT_NE(recorder.waveIn(), nullptr) << recorder.error();
    recorder.queueAll();
    ASSERT_TRUE(recorder.waveIn()->start());
    recorder.waitFor(200'000);
    recorder.waveIn()->reset();
    size_t afterFirstReset = recorder.recorded().size();
    // The buffers the callback queued again during the reset carry on after the restart.
    ASSERT_TRUE(recorder.waveIn()->start());
    recorder.waitFor(afterFirstReset + 200'000);
    recorder.waveIn()->close();

    const std::string& recorded = recorder.recorded();
    ASSERT_EQ(recorded.size() % 4, 0u);
    ASSERT_GE(recorded.size(), 400'000u);
    size_t firstWrongFrame = recorded.size() / 4;
    for (size_t frame = 0; frame < recorded.size() / 4; ++frame) {
        if (wavelark::testing::rampFrameNumber(recorded, frame) != frame) {
            firstWrongFrame = frame;
            break;
        }
    }
    EXPECT_EQ(firstWrongFrame, recorded.size() / 4);
    EXPECT_EQ(recorder.waveIn()->xrunCounts().overruns, 0u);
}

TEST(WaveIn, ResetHandsBackEveryQueuedBufferWithWhatItHolds)
{
    AudioSetting setting("test:input=ramp");
    Recorder recorder;
    ASSERT_NE(recorder.waveIn(), nullptr) << recorder.error();
    recorder.queueAll();
    ASSERT_TRUE(recorder.waveIn()->start());
    // Half a buffer's time (4096 bytes are 23 ms): the first buffer is part-filled at most.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    recorder.waveIn()->reset();
    // All four came back (the callback queued them again, so the count is in partialBuffers).
    EXPECT_GE(recorder.partialBuffers(), 3);
    EXPECT_EQ(recorder.recorded().size() % 4, 0u);
    for (size_t frame = 0; frame < recorder.recorded().size() / 4; ++frame)
        ASSERT_EQ(wavelark::testing::rampFrameNumber(recorder.recorded(), frame), frame);
}

TEST(WaveIn, WavFileInputIsRecordedFrameForFrameThenSilence)
{
    wavelark::testing::TemporaryFolder folder;
    std::string frames(3001 * 4, '\0');
    for (size_t index = 0; index < frames.size(); ++index)
        frames[index] = static_cast<char>(index * 31 + 5);
    wavelark::testing::writeWav(folder.file("input.wav"), frames);
    AudioSetting setting("test:input=wav," + folder.file("input.wav") + ";pace=fast");
    Recorder recorder;
    ASSERT_NE(recorder.waveIn(), nullptr) << recorder.error();
    recorder.queueAll();
    ASSERT_TRUE(recorder.waveIn()->start());
    recorder.waitFor(8 * kBufferBytes);
    recorder.waveIn()->close();

    ASSERT_GE(recorder.recorded().size(), 8 * kBufferBytes);
    EXPECT_EQ(recorder.recorded().substr(0, frames.size()), frames);
    EXPECT_EQ(recorder.recorded().find_first_not_of('\0', frames.size()), std::string::npos);
}

TEST(WaveIn, SineInputHasItsFrequencyAndLevel)
{
    AudioSetting setting("test:input=sine,1000,-6;pace=fast");
    Recorder recorder;
    ASSERT_NE(recorder.waveIn(), nullptr) << recorder.error();
    recorder.queueAll();
    ASSERT_TRUE(recorder.waveIn()->start());
    recorder.waitFor(176'400);
    recorder.waveIn()->close();

    const std::string& recorded = recorder.recorded();
    int risingCrossings = 0;
    int peak = 0;
    int previous = 0;
    for (size_t frame = 0; frame < 44100; ++frame) {
        auto left = static_cast<int16_t>(static_cast<uint8_t>(recorded[frame * 4]) | static_cast<uint8_t>(recorded[frame * 4 + 1]) << 8);
        auto right = static_cast<int16_t>(static_cast<uint8_t>(recorded[frame * 4 + 2]) | static_cast<uint8_t>(recorded[frame * 4 + 3]) << 8);
        ASSERT_EQ(left, right);
        risingCrossings += previous < 0 && left >= 0;
        peak = std::max(peak, std::abs(static_cast<int>(left)));
        previous = left;
    }
    EXPECT_NEAR(risingCrossings, 1000, 1);
    // -6 dBFS of 32767.
    EXPECT_NEAR(peak, 16422, 2);
}

struct DeviceCase {
    const char* name;
    const char* setting;
    int deviceId;
    bool opens;
};

class DeviceChoice : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(DeviceChoice, OpensOnlyTheDevicesTheTestDeviceOffers)
{
    AudioSetting setting(GetParam().setting);
    std::string error;
    EXPECT_EQ(openWaveIn(GetParam().deviceId, 44100, [](WaveBuffer&) {}, &error) != nullptr, GetParam().opens) << error;
    EXPECT_EQ(openWaveOut(GetParam().deviceId, 44100, [](WaveBuffer&) {}, &error) != nullptr, GetParam().opens) << error;
    if (!GetParam().opens) {
        EXPECT_NE(error.find("no output device"), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Values, DeviceChoice,
                         ::testing::Values(DeviceCase{"DefaultOfOne", "test", -1, true},
                                           DeviceCase{"FirstOfOne", "test", 0, true},
                                           DeviceCase{"SecondOfOne", "test", 1, false},
                                           DeviceCase{"BelowDefault", "test", -2, false},
                                           DeviceCase{"ThirdOfThree", "test:inputs=3;outputs=3", 2, true},
                                           DeviceCase{"DefaultOfNone", "test:inputs=0;outputs=0", -1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WaveIn, NoInputDeviceSettingReportsNone)
{
    AudioSetting setting("test:inputs=0");
    EXPECT_EQ(inputDeviceCount(), 0);
    EXPECT_EQ(outputDeviceCount(), 1);
    std::string error;
    EXPECT_EQ(openWaveIn(kDefaultDevice, 44100, [](WaveBuffer&) {}, &error), nullptr);
    EXPECT_NE(error.find("no input device"), std::string::npos) << error;
}

TEST(WaveIn, RefusesBuffersThatAreNotWholeFrames)
{
    AudioSetting setting("test");
    auto waveIn = openWaveIn(kDefaultDevice, 44100, [](WaveBuffer&) {});
    ASSERT_NE(waveIn, nullptr);
    std::array<uint8_t, 16> block{};
    WaveBuffer odd{block.data(), 6, 0, nullptr};
    WaveBuffer empty{block.data(), 0, 0, nullptr};
    WaveBuffer missing{nullptr, 16, 0, nullptr};
    EXPECT_FALSE(waveIn->addBuffer(&odd));
    EXPECT_FALSE(waveIn->addBuffer(&empty));
    EXPECT_FALSE(waveIn->addBuffer(&missing));
    EXPECT_FALSE(waveIn->addBuffer(nullptr));
}
