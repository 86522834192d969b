#include "platform/audio/audio_test_support.h"
#include "test_settings.h"
#include "wave_device.h"

#include <gtest/gtest.h>

using namespace wavelark::audio;

TEST(TestSettings, PlainTestIsSilenceInRealTimeWithOutputDropped)
{
    std::string error;
    std::optional<TestSettings> settings = parseTestSettings("test", error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->input, TestInput::Silence);
    EXPECT_EQ(settings->pace, TestPace::RealTime);
    EXPECT_TRUE(settings->outputFile.empty());
    EXPECT_EQ(settings->inputDevices, 1);
    EXPECT_EQ(settings->outputDevices, 1);
}

TEST(TestSettings, EveryOptionIsRead)
{
    std::string error;
    std::optional<TestSettings> settings
        = parseTestSettings("test:input=sine,440.5,-12;pace=fast;output=/tmp/a,b.wav;inputs=0;outputs=3", error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->input, TestInput::Sine);
    EXPECT_DOUBLE_EQ(settings->sineFrequency, 440.5);
    EXPECT_DOUBLE_EQ(settings->sineLevelDecibels, -12.0);
    EXPECT_EQ(settings->pace, TestPace::Fast);
    EXPECT_EQ(settings->outputFile, "/tmp/a,b.wav");
    EXPECT_EQ(settings->inputDevices, 0);
    EXPECT_EQ(settings->outputDevices, 3);

    settings = parseTestSettings("test:input=ramp,2.5", error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->input, TestInput::Ramp);
    EXPECT_DOUBLE_EQ(settings->rampOnsetSeconds, 2.5);

    settings = parseTestSettings("test:input=wav,/data/take one.wav", error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->input, TestInput::WavFile);
    EXPECT_EQ(settings->inputFile, "/data/take one.wav");
}

// The device menus list what these return: the names given, or numbered default names, with the
// first device as the default one; a device past the list is refused by the number the user saw.
TEST(TestSettings, DeviceNamesAreListedInIdOrderAndSetTheCount)
{
    struct Case {
        const char* setting;
        std::vector<std::string> inputs;
        std::vector<std::string> outputs;
        int defaultInput;
    };
    const Case cases[] = {
        {"test", {"Test Input 1"}, {"Test Output 1"}, 0},
        {"test:inputs=3;outputs=0", {"Test Input 1", "Test Input 2", "Test Input 3"}, {}, 0},
        {"test:inputnames=USB Audio CODEC|Built-in Audio Analog Stereo;outputnames=HDMI",
         {"USB Audio CODEC", "Built-in Audio Analog Stereo"}, {"HDMI"}, 0},
        {"test:inputs=0", {}, {"Test Output 1"}, kDefaultDevice},
    };
    for (const Case& c : cases) {
        wavelark::testing::AudioSetting setting(c.setting);
        const DeviceList inputs = inputDevices();
        EXPECT_EQ(inputs.names, c.inputs) << c.setting;
        EXPECT_EQ(inputs.defaultDevice, c.defaultInput) << c.setting;
        EXPECT_EQ(outputDevices().names, c.outputs) << c.setting;
        const SoundDevices both = soundDevices();
        EXPECT_EQ(both.inputs.names, c.inputs) << c.setting;
        EXPECT_EQ(both.outputs.names, c.outputs) << c.setting;
        EXPECT_EQ(inputDeviceCount(), static_cast<int>(c.inputs.size())) << c.setting;
    }
    wavelark::testing::AudioSetting two("test:inputnames=First|Second");
    std::string error;
    EXPECT_EQ(openWaveIn(2, 44100, [](WaveBuffer&) {}, &error), nullptr);
    EXPECT_EQ(error, "test device: there is no input device 3");
}

class MalformedTestSetting : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedTestSetting, IsRefusedWithAReasonAndOpensNothing)
{
    std::string error;
    EXPECT_FALSE(parseTestSettings(GetParam(), error));
    EXPECT_FALSE(error.empty());

    wavelark::testing::AudioSetting setting(GetParam());
    std::string openError;
    EXPECT_EQ(openWaveOut(kDefaultDevice, 44100, [](WaveBuffer&) {}, &openError), nullptr);
    EXPECT_NE(openError.find("WAVELARK_AUDIO"), std::string::npos) << openError;
    EXPECT_EQ(inputDeviceCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Values, MalformedTestSetting,
                         ::testing::Values("test:input=noise", "test:input=sine,0", "test:input=sine,1000,3",
                                           "test:input=sine,abc", "test:pace=slow", "test:output=",
                                           "test:inputs=-1", "test:outputs=x", "test:volume=3", "testing",
                                           "test:inputnames=USB||Line", "test:outputnames=", "test:input=ramp,-1",
                                           "pulse"),
                         [](const auto& info) { return "Setting" + std::to_string(info.index); });
