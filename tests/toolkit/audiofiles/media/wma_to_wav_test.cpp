// WMA2WAV: a finalised 44100 Hz, 16-bit stereo WAV file in every case, with the content an
// independent decoder finds in the source.

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

using namespace wavelark::testing;

namespace {

// The template every output starts with: PCM, 2 channels, 44100 Hz, 176400 bytes a second,
// block alignment 4, 16 bits.
void expectFinalisedDeliveryFormatWav(const std::string& file)
{
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(littleEndianAt(file, 4), file.size() - 8);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(littleEndianAt(file, 16), 16u);
    EXPECT_EQ(littleEndianAt(file, 20), 1u | (2u << 16));
    EXPECT_EQ(littleEndianAt(file, 24), 44100u);
    EXPECT_EQ(littleEndianAt(file, 28), 176400u);
    EXPECT_EQ(littleEndianAt(file, 32), 4u | (16u << 16));
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(littleEndianAt(file, 40), file.size() - 44);
}

class Wma2Wav : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgressRecorder::reset();
        destination = folder.file("raw take.wav");
    }

    std::string makeWithFfmpeg(const std::string& name, const std::string& options)
    {
        std::string path = folder.file(name);
        std::string command = "ffmpeg -v error -f lavfi -i sine=frequency=1000:sample_rate=48000:duration=2 " + options
            + " " + shellQuoted(path);
        EXPECT_TRUE(runCommand(command).succeeded) << command;
        return path;
    }

    TemporaryFolder folder;
    std::string destination;
};

}

TEST_F(Wma2Wav, WritesAFinalisedWavMatchingAnIndependentDecoder)
{
    std::string source = makeWithFfmpeg("mono 48k.mp3", "-c:a libmp3lame -b:a 128k");
    ASSERT_EQ(WMA2WAV(source.c_str(), destination.c_str(), nullptr), 0);
    std::string file = readFile(destination);
    expectFinalisedDeliveryFormatWav(file);
    std::vector<int16_t> ours = wavSamples(file);
    // The source is mono: the toolkit copies it into both channels.
    std::vector<int16_t> theirs = decodeWithFfmpeg(source, 1);
    ASSERT_FALSE(theirs.empty());
    // Both resample 48000 Hz to 44100 Hz; they may differ by a few frames at the ends.
    EXPECT_NEAR(static_cast<double>(ours.size() / 2), static_cast<double>(theirs.size()), 64.0);
    EXPECT_NEAR(toneFrequency(ours, 2, 0, 44100), 1000.0, 2.0);
    EXPECT_NEAR(toneFrequency(ours, 2, 1, 44100), toneFrequency(theirs, 1, 0, 44100), 1.0);
    EXPECT_NEAR(rmsLevel(ours, 2, 0), rmsLevel(theirs, 1, 0), 0.005);
    EXPECT_NEAR(rmsLevel(ours, 2, 1), rmsLevel(theirs, 1, 0), 0.005);
}

TEST_F(Wma2Wav, ReadsOurOwnWmaBack)
{
    std::string take = folder.file("take.wav");
    writeFile(take, sineWav(44100, 2, 2.0, 440.0, 0.5));
    std::string wma = folder.file("take.wma");
    ASSERT_EQ(WAV2WMA(take.c_str(), wma.c_str(), 192, nullptr), 0);
    ASSERT_EQ(WMA2WAV(wma.c_str(), destination.c_str(), nullptr), 0);
    std::string file = readFile(destination);
    expectFinalisedDeliveryFormatWav(file);
    std::vector<int16_t> samples = wavSamples(file);
    EXPECT_NEAR(static_cast<double>(samples.size() / 2), 88200.0, 4096.0);
    EXPECT_NEAR(toneFrequency(samples, 2, 0, 44100), 440.0, 1.0);
    EXPECT_NEAR(rmsLevel(samples, 2, 0), 0.5 / std::sqrt(2.0), 0.03);
}

TEST_F(Wma2Wav, ProgressStartsAtMinusOneAndRisesToTheEnd)
{
    std::string source = makeWithFfmpeg("tone.wma", "-c:a wmav2");
    ASSERT_EQ(WMA2WAV(source.c_str(), destination.c_str(), ProgressRecorder::record), 0);
    ASSERT_GE(ProgressRecorder::values.size(), 3u);
    EXPECT_EQ(ProgressRecorder::values.front(), -1);
    std::vector<int> rest(ProgressRecorder::values.begin() + 1, ProgressRecorder::values.end());
    for (std::size_t index = 1; index < rest.size(); ++index)
        EXPECT_GE(rest[index], rest[index - 1]);
    EXPECT_GE(rest.front(), 0);
    EXPECT_GE(rest.back(), 95);
    EXPECT_LE(rest.back(), 100);
}

TEST_F(Wma2Wav, CancelKeepsAFinalisedFileOfTheBlocksSoFar)
{
    std::string source = makeWithFfmpeg("tone.wma", "-c:a wmav2");
    ProgressRecorder::cancelAtCall = 4;  // -1, then three blocks
    ASSERT_EQ(WMA2WAV(source.c_str(), destination.c_str(), ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values.size(), 4u);
    std::string file = readFile(destination);
    expectFinalisedDeliveryFormatWav(file);
    // Three decoded frames of 2048 samples at 48000 Hz, converted to 44100 Hz.
    EXPECT_NEAR(static_cast<double>((file.size() - 44) / 4), 3 * 2048 * 44100 / 48000.0, 4.0);
}

TEST_F(Wma2Wav, UnreadableSourceFailsButLeavesAnEmptyFinalisedWav)
{
    for (const std::string& source : {folder.file("missing.wma"), folder.file("text.mp3")}) {
        writeFile(folder.file("text.mp3"), "this is not audio");
        writeFile(destination, "an earlier take");
        ProgressRecorder::reset();
        EXPECT_NE(WMA2WAV(source.c_str(), destination.c_str(), ProgressRecorder::record), 0) << source;
        EXPECT_EQ(ProgressRecorder::values, std::vector<int>({-1}));
        std::string file = readFile(destination);
        EXPECT_EQ(file.size(), 44u);
        expectFinalisedDeliveryFormatWav(file);
    }
}

TEST_F(Wma2Wav, UnwritableDestinationFails)
{
    std::string source = makeWithFfmpeg("tone.wma", "-c:a wmav2");
    std::string unwritable = folder.file("no such folder/take.wav");
    EXPECT_NE(WMA2WAV(source.c_str(), unwritable.c_str(), nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(unwritable));
    // The reader slot is free again for the next conversion.
    EXPECT_EQ(WMA2WAV(source.c_str(), destination.c_str(), nullptr), 0);
}
