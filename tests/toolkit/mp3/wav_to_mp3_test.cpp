// WAV2MP3 through the exported function; the files are checked by reading their frame headers
// and by independent decoders (ffprobe, ffmpeg, lame --decode).

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

using namespace wavelark::testing;

namespace {

// MPEG-1 Layer III bit rates by header index, in kbit/s.
constexpr int kLayer3BitRates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};

struct FrameHeader {
    bool mpeg1 = false;
    bool layer3 = false;
    bool crcProtected = false;
    int bitRate = 0;        // kbit/s
    int sampleRate = 0;
    int channelMode = 0;    // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool original = false;
    int mainDataBegin = 0;  // how far back into earlier frames the audio data starts
    std::size_t length = 0; // bytes
};

bool parseFrameHeader(const std::string& file, std::size_t offset, FrameHeader& header)
{
    if (offset + 6 > file.size())
        return false;
    auto byte = [&](std::size_t index) { return static_cast<unsigned char>(file[offset + index]); };
    if (byte(0) != 0xFF || (byte(1) & 0xE0) != 0xE0)
        return false;
    header.mpeg1 = ((byte(1) >> 3) & 3) == 3;
    header.layer3 = ((byte(1) >> 1) & 3) == 1;
    header.crcProtected = (byte(1) & 1) == 0;
    header.bitRate = kLayer3BitRates[byte(2) >> 4];
    int rateIndex = (byte(2) >> 2) & 3;
    header.sampleRate = rateIndex == 0 ? 44100 : rateIndex == 1 ? 48000 : rateIndex == 2 ? 32000 : 0;
    bool padding = (byte(2) >> 1) & 1;
    header.channelMode = byte(3) >> 6;
    header.original = (byte(3) >> 2) & 1;
    // The side information follows the header (no CRC); its first 9 bits.
    header.mainDataBegin = (byte(4) << 1) | (byte(5) >> 7);
    if (header.bitRate == 0 || header.sampleRate == 0)
        return false;
    header.length = static_cast<std::size_t>(144 * header.bitRate * 1000 / header.sampleRate) + (padding ? 1 : 0);
    return true;
}

std::vector<FrameHeader> frameHeaders(const std::string& file)
{
    std::vector<FrameHeader> headers;
    std::size_t offset = 0;
    FrameHeader header;
    while (parseFrameHeader(file, offset, header)) {
        headers.push_back(header);
        offset += header.length;
    }
    return headers;
}

std::size_t framedBytes(const std::vector<FrameHeader>& headers)
{
    std::size_t bytes = 0;
    for (const FrameHeader& header : headers)
        bytes += header.length;
    return bytes;
}

// In an MPEG-1 stereo file the information tag's name follows the 32 bytes of side information.
std::string infoTagName(const std::string& file)
{
    return file.size() >= 40 ? file.substr(36, 4) : std::string();
}

uint32_t bigEndianAt(const std::string& bytes, std::size_t offset)
{
    uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + index));
    return value;
}

class Wav2Mp3 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgressRecorder::reset();
        source = folder.file("take.wav");
        destination = folder.file("take.mp3");
    }

    TemporaryFolder folder;
    std::string source;
    std::string destination;
};

class Wav2Mp3BitRate : public Wav2Mp3, public ::testing::WithParamInterface<int> {};

}

TEST_P(Wav2Mp3BitRate, WritesConstantBitRateMpeg1Layer3StereoWithAnInfoTag)
{
    int bitRate = GetParam();
    writeFile(source, sineWav(44100, 2, 2.0, 1000.0, 0.5));
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), bitRate, 44100, nullptr), 0);

    std::string file = readFile(destination);
    std::vector<FrameHeader> headers = frameHeaders(file);
    // 2 s are 77 frames of 1152 samples, plus the encoder's delay and the tag frame.
    ASSERT_GE(headers.size(), 78u);
    // Nothing but whole frames: no ID3 tags, nothing left over.
    EXPECT_EQ(framedBytes(headers), file.size());
    EXPECT_EQ(infoTagName(file), "Info");
    EXPECT_NE(file.find("LAME"), std::string::npos);
    for (const FrameHeader& header : headers) {
        EXPECT_TRUE(header.mpeg1);
        EXPECT_TRUE(header.layer3);
        EXPECT_FALSE(header.crcProtected);
        EXPECT_EQ(header.bitRate, bitRate);
        EXPECT_EQ(header.sampleRate, 44100);
        EXPECT_EQ(header.channelMode, 0) << "stereo, not joint stereo";
        EXPECT_TRUE(header.original);
        EXPECT_EQ(header.mainDataBegin, 0) << "no bit reservoir";
    }

    EXPECT_EQ(probeEntry(destination, "stream", "codec_name"), "mp3");
    EXPECT_EQ(probeEntry(destination, "stream", "sample_rate"), "44100");
    EXPECT_EQ(probeEntry(destination, "stream", "channels"), "2");
    EXPECT_EQ(probeEntry(destination, "stream", "bit_rate"), std::to_string(bitRate * 1000));
}

TEST_P(Wav2Mp3BitRate, ToneSurvivesDecodingWithTheRightDuration)
{
    writeFile(source, sineWav(44100, 2, 2.0, 1000.0, 0.5));
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), GetParam(), 44100, nullptr), 0);

    std::vector<int16_t> decoded = decodeWithFfmpeg(destination);
    // The information tag states the encoder's delay and padding, so ffmpeg trims both; a frame
    // of 1152 samples either way is allowed for decoders that round to frames.
    EXPECT_NEAR(static_cast<double>(decoded.size() / 2), 88200.0, 1152.0);
    EXPECT_NEAR(toneFrequency(decoded, 2, 0, 44100), 1000.0, 2.0);
    EXPECT_NEAR(toneFrequency(decoded, 2, 1, 44100), 1000.0, 2.0);
    // A sine of amplitude 0.5 has a level of 0.5 / sqrt(2); within about 0.5 dB.
    EXPECT_NEAR(rmsLevel(decoded, 2, 0), 0.5 / std::sqrt(2.0), 0.02);
    EXPECT_NEAR(rmsLevel(decoded, 2, 1), 0.5 / std::sqrt(2.0), 0.02);
}

INSTANTIATE_TEST_SUITE_P(RecorderQualities, Wav2Mp3BitRate, ::testing::Values(64, 128, 256));

TEST_F(Wav2Mp3, LameDecoderReadsTheFileWithTheRightLength)
{
    writeFile(source, sineWav(44100, 2, 1.5, 440.0, 0.5));
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, nullptr), 0);
    std::string decodedPath = folder.file("decoded.wav");
    ASSERT_TRUE(runCommand("lame --quiet --decode " + shellQuoted(destination) + " " + shellQuoted(decodedPath)).succeeded);
    std::vector<int16_t> decoded = wavSamples(readFile(decodedPath));
    // lame --decode also drops the delay and padding the tag states; within one frame.
    EXPECT_NEAR(static_cast<double>(decoded.size() / 2), 66150.0, 1152.0);
    EXPECT_NEAR(toneFrequency(decoded, 2, 0, 44100), 440.0, 1.0);
}

TEST_F(Wav2Mp3, ProgressRisesChunkByChunkToOneHundred)
{
    // One second: 44100 frames are 39 chunks of 1152 frames, the last one short.
    writeFile(source, sineWav(44100, 2, 1.0, 1000.0, 0.5));
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, ProgressRecorder::record), 0);
    ASSERT_EQ(ProgressRecorder::values.size(), 39u);
    // The estimate, (176444 / 2) / 2304 = 38 chunks, counts the header: 100 / (38 / 1) = 2.63.
    EXPECT_EQ(ProgressRecorder::values.front(), 2);
    EXPECT_EQ(ProgressRecorder::values[18], 50);  // 100 / (38 / 19)
    for (std::size_t index = 1; index < ProgressRecorder::values.size(); ++index)
        EXPECT_GE(ProgressRecorder::values[index], ProgressRecorder::values[index - 1]);
    // The 39th chunk would be 102 %: held to 100.
    EXPECT_EQ(ProgressRecorder::values.back(), 100);
}

TEST_F(Wav2Mp3, SourceShorterThanOneChunkReportsZeroRatherThanDividingByZero)
{
    writeFile(source, sineWav(44100, 2, 0.01, 1000.0, 0.5));
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values, std::vector<int>({0}));
}

TEST_F(Wav2Mp3, HeaderOnlySourceGivesATaggedFileWithoutAudioAndNoProgress)
{
    writeFile(source, sineWav(44100, 2, 0.0, 1000.0, 0.5));
    ASSERT_EQ(readFile(source).size(), 44u);
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, ProgressRecorder::record), 0);
    EXPECT_TRUE(ProgressRecorder::values.empty());
    std::string file = readFile(destination);
    EXPECT_EQ(infoTagName(file), "Info");
    // The tag frame and the one frame the flush gives, which holds only the encoder's delay.
    EXPECT_EQ(frameHeaders(file).size(), 2u);
    std::string decodedPath = folder.file("decoded.wav");
    ASSERT_TRUE(runCommand("lame --quiet --decode " + shellQuoted(destination) + " " + shellQuoted(decodedPath)).succeeded);
    EXPECT_EQ(readFile(decodedPath).size(), 44u);
}

TEST_F(Wav2Mp3, CancelAtTheFirstCallStillFinishesAValidTaggedFile)
{
    writeFile(source, sineWav(44100, 2, 2.0, 1000.0, 0.5));
    ProgressRecorder::cancelAtCall = 1;
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values.size(), 1u);
    std::string file = readFile(destination);
    EXPECT_EQ(infoTagName(file), "Info");
    std::vector<FrameHeader> headers = frameHeaders(file);
    EXPECT_GE(headers.size(), 2u);
    // Only what the encoder held of the first chunk is flushed: a frame or two, not two seconds.
    EXPECT_LE(headers.size(), 4u);
    EXPECT_EQ(framedBytes(headers), file.size());
}

TEST_F(Wav2Mp3, CancelLaterKeepsTheAudioEncodedBeforeIt)
{
    writeFile(source, sineWav(44100, 2, 2.0, 1000.0, 0.5));
    ProgressRecorder::cancelAtCall = 20;
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values.size(), 20u);
    std::vector<int16_t> decoded = decodeWithFfmpeg(destination);
    // 20 chunks were written, the cancelling one too; the flush adds what the encoder still held.
    double frames = static_cast<double>(decoded.size() / 2);
    EXPECT_GE(frames, 18.0 * 1152);
    EXPECT_LE(frames, 21.0 * 1152);
    EXPECT_NEAR(toneFrequency(decoded, 2, 0, 44100, 256), 1000.0, 3.0);
}

namespace {

// The progress call that cancels: of the 39 calls a second of audio gets, the first, one in the
// middle and the last.
class Wav2Mp3Cancel : public Wav2Mp3, public ::testing::WithParamInterface<int> {};

}

TEST_P(Wav2Mp3Cancel, LeavesAFileWhoseInfoTagMatchesItAndThatDecodersRead)
{
    writeFile(source, sineWav(44100, 2, 1.0, 1000.0, 0.5));
    ProgressRecorder::cancelAtCall = GetParam();
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, ProgressRecorder::record), 0);
    ASSERT_EQ(ProgressRecorder::values.size(), static_cast<std::size_t>(GetParam()));

    std::string file = readFile(destination);
    ASSERT_EQ(infoTagName(file), "Info");
    std::vector<FrameHeader> headers = frameHeaders(file);
    ASSERT_EQ(framedBytes(headers), file.size());
    // The tag's flags follow its name: 1 and 2 announce the counts of audio frames (after the
    // tag frame) and of bytes, which follow, 32 bits big-endian each.
    ASSERT_EQ(bigEndianAt(file, 40) & 3u, 3u);
    EXPECT_EQ(bigEndianAt(file, 44), headers.size() - 1);
    EXPECT_EQ(bigEndianAt(file, 48), file.size());

    EXPECT_EQ(errorOutput("ffprobe -v error -show_format -show_streams " + shellQuoted(destination)), "");
    EXPECT_EQ(errorOutput("ffmpeg -v error -i " + shellQuoted(destination) + " -f null -"), "");
}

INSTANTIATE_TEST_SUITE_P(ProgressCalls, Wav2Mp3Cancel, ::testing::Values(1, 20, 39));

TEST_F(Wav2Mp3, ExistingDestinationIsReplaced)
{
    writeFile(destination, std::string(1 << 20, 'x'));
    writeFile(source, sineWav(44100, 2, 0.5, 1000.0, 0.5));
    ASSERT_EQ(WAV2MP3(source.c_str(), destination.c_str(), 128, 44100, nullptr), 0);
    std::string file = readFile(destination);
    EXPECT_LT(file.size(), 20000u);
    EXPECT_EQ(file.find("xxxx"), std::string::npos);
    EXPECT_EQ(infoTagName(file), "Info");
}

TEST_F(Wav2Mp3, MissingSourceFailsAndLeavesNoFile)
{
    EXPECT_NE(WAV2MP3(folder.file("missing.wav").c_str(), destination.c_str(), 128, 44100, ProgressRecorder::record), 0);
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_TRUE(ProgressRecorder::values.empty());
}

TEST_F(Wav2Mp3, MissingSourceLeavesAnExistingDestinationAlone)
{
    writeFile(destination, "an earlier file");
    EXPECT_NE(WAV2MP3(folder.file("missing.wav").c_str(), destination.c_str(), 128, 44100, nullptr), 0);
    EXPECT_EQ(readFile(destination), "an earlier file");
}

TEST_F(Wav2Mp3, UnwritableDestinationFailsAndLeavesNoFile)
{
    writeFile(source, sineWav(44100, 2, 0.2, 1000.0, 0.5));
    std::string unwritable = folder.file("no such folder/take.mp3");
    EXPECT_NE(WAV2MP3(source.c_str(), unwritable.c_str(), 128, 44100, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(unwritable));
}

TEST_F(Wav2Mp3, ImpossibleSampleRateFailsWithoutCreatingTheDestination)
{
    writeFile(source, sineWav(44100, 2, 0.2, 1000.0, 0.5));
    EXPECT_NE(WAV2MP3(source.c_str(), destination.c_str(), 128, 0, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(destination));
}
