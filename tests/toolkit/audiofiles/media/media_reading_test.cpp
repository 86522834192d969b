// Files written by other tools (ffmpeg, sox, lame) read through the reader slots: every one
// comes out as 44100 Hz, 16-bit stereo with its duration, tone and level intact.

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/media/reader_test_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace wavelark::testing;

namespace {

constexpr int kSlot = 3;

struct ToolFile {
    const char* name;
    // Shell command writing OUT (a sine of `seconds` at `frequency`, amplitude 0.5 unless
    // stated); IN, when used, is a canonical WAV made by the test first.
    const char* command;
    const char* fileName;
    int sampleRate;
    int channels;
    double frequency;
    double level;  // expected level of each delivered channel, as a fraction of full scale
    int inputChannels = 0;  // channels of the IN file, 0 when there is none
};

constexpr double kHalfScaleSine = 0.35355339059327373;  // 0.5 / sqrt(2)
constexpr double kSeconds = 3.0;

const ToolFile kToolFiles[] = {
    {"FfmpegWma", "ffmpeg -v error -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=3 -af 'volume=4,pan=stereo|c0=c0|c1=c0' "
                  "-c:a wmav2 -b:a 128k OUT", "tool.wma", 44100, 2, 1000.0, kHalfScaleSine},
    {"LameMp3At22050Mono", "lame --quiet -b 64 IN OUT", "tool.mp3", 22050, 1, 1000.0, kHalfScaleSine, 1},
    {"FfmpegMp3At48000", "ffmpeg -v error -f lavfi -i sine=frequency=440:sample_rate=48000:duration=3 "
                         "-af 'volume=4,pan=stereo|c0=c0|c1=c0' -c:a libmp3lame -b:a 192k OUT", "tool.mp3", 48000, 2, 440.0, kHalfScaleSine},
    {"SoxFlacAt48000", "sox -n -r 48000 -b 16 -c 2 OUT synth 3 sine 440 vol 0.5", "tool.flac", 48000, 2, 440.0,
     kHalfScaleSine},
    {"SoxOggMono", "sox -n -r 44100 -c 1 OUT synth 3 sine 1000 vol 0.5", "tool.ogg", 44100, 1, 1000.0, kHalfScaleSine},
    {"SoxWaveNameAt48000", "sox -n -r 48000 -b 16 -c 2 -t wav OUT synth 3 sine 1000 vol 0.5", "tool.wave", 48000, 2,
     1000.0, kHalfScaleSine},
    // Six channels, the sine in the centre only: mixed down to stereo with the centre at -3 dB,
    // the mix scaled so that it cannot clip (centre and surround add to the front channel).
    {"FfmpegFlacSixChannels", "ffmpeg -v error -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=3 "
                              "-af 'volume=4,pan=5.1|FC=c0' -c:a flac OUT", "tool.flac", 44100, 2, 1000.0,
     kHalfScaleSine * M_SQRT1_2 / (1.0 + 2.0 * M_SQRT1_2)},
};

class ToolFileReading : public ::testing::TestWithParam<ToolFile> {
protected:
    void SetUp() override
    {
        const ToolFile& file = GetParam();
        path = folder.file(file.fileName);
        std::string input = folder.file("input.wav");
        if (file.inputChannels)
            writeFile(input, sineWav(file.sampleRate, file.inputChannels, kSeconds, file.frequency, 0.5));
        const std::string command = commandWithPaths(file.command, input, path);
        ASSERT_TRUE(runCommand(command).succeeded) << command;
    }
    void TearDown() override { CloseWMA(kSlot); }

    TemporaryFolder folder;
    std::string path;
};

}

TEST_P(ToolFileReading, OpensWithTheFilesDurationAndFormat)
{
    int64_t duration = -1;
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, &duration), 1);
    EXPECT_NEAR(static_cast<double>(duration), kSeconds * 1e7, 0.06e7);
    const WAVEFORMATEX* format = GetFormatWMA(kSlot);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->wFormatTag, 1);
    EXPECT_EQ(format->nSamplesPerSec, static_cast<uint32_t>(GetParam().sampleRate));
    EXPECT_EQ(format->nChannels, GetParam().channels);
    EXPECT_EQ(format->wBitsPerSample, 16);
}

TEST_P(ToolFileReading, DeliversTheToneAt44100HzStereo)
{
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 1);
    ReadBack read = readToEnd(kSlot);
    ASSERT_FALSE(read.lengths.empty());
    for (int32_t length : read.lengths)
        EXPECT_EQ(length % 4, 0);
    // Lossy codecs add their delay and pad their last frame: within two frames of 2048 samples
    // (the longest frame of the codecs here) either way.
    EXPECT_NEAR(static_cast<double>(read.samples.size() / 2), kSeconds * 44100, 4096.0);
    EXPECT_NEAR(toneFrequency(read.samples, 2, 0, 44100), GetParam().frequency, GetParam().frequency * 0.003);
    EXPECT_NEAR(toneFrequency(read.samples, 2, 1, 44100), GetParam().frequency, GetParam().frequency * 0.003);
    EXPECT_NEAR(rmsLevel(read.samples, 2, 0), GetParam().level, 0.03);
    EXPECT_NEAR(rmsLevel(read.samples, 2, 1), GetParam().level, 0.03);
}

TEST_P(ToolFileReading, TimesAndProgressRiseAndTheEndRepeats)
{
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 1);
    ReadBack read = readToEnd(kSlot);
    ASSERT_GE(read.times.size(), 2u);
    // A WMA decoder takes two packets of 46 ms before its first frame, which is stamped with
    // the time of the packet that completed it.
    EXPECT_LT(read.times.front(), 0.1e7);
    EXPECT_TRUE(neverFalls(read.times));
    EXPECT_NEAR(static_cast<double>(read.times.back()), kSeconds * 1e7, 0.1e7);
    EXPECT_TRUE(neverFalls(read.progress));
    EXPECT_GE(read.progress.back(), 95);
    EXPECT_LE(read.progress.back(), 100);
    for (int repeat = 0; repeat < 2; ++repeat) {
        void* buffer = &repeat;
        int32_t length = 7;
        EXPECT_EQ(ReadWMA(kSlot, &buffer, &length, nullptr, 1.0, 0), -1);
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(length, 0);
    }
}

TEST_P(ToolFileReading, StartTimeAndSeekContinueFromThatTime)
{
    int64_t start = 12000000;  // 1.2 s
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), start, nullptr), 1);
    ReadBack fromStart = readToEnd(kSlot);
    ASSERT_FALSE(fromStart.times.empty());
    EXPECT_NEAR(static_cast<double>(fromStart.times.front()), static_cast<double>(start), 0.01e7);
    EXPECT_NEAR(static_cast<double>(fromStart.samples.size() / 2), (kSeconds - 1.2) * 44100, 4096.0);

    SeekWMA(kSlot, 20000000);
    ReadBack fromSeek = readToEnd(kSlot);
    ASSERT_FALSE(fromSeek.times.empty());
    EXPECT_NEAR(static_cast<double>(fromSeek.times.front()), 2e7, 0.01e7);
    EXPECT_NEAR(static_cast<double>(fromSeek.samples.size() / 2), (kSeconds - 2.0) * 44100, 4096.0);
}

INSTANTIATE_TEST_SUITE_P(OtherTools, ToolFileReading, ::testing::ValuesIn(kToolFiles),
                         [](const ::testing::TestParamInfo<ToolFile>& info) { return std::string(info.param.name); });
