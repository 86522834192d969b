// WAV2WMA: the files are checked by ffprobe and decoded by ffmpeg; progress, cancel and failures.

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/wav_builder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

using namespace wavelark::testing;

namespace {

class Wav2Wma : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgressRecorder::reset();
        source = folder.file("take.wav");
        destination = folder.file("take.wma");
    }

    TemporaryFolder folder;
    std::string source;
    std::string destination;
};

struct BitRateChoice {
    int argument;
    int bitsPerSecond;
};

class Wav2WmaBitRate : public Wav2Wma, public ::testing::WithParamInterface<BitRateChoice> {};

}

TEST_P(Wav2WmaBitRate, WritesWmav2InAsfAtTheChosenRate)
{
    writeFile(source, sineWav(44100, 2, 2.0, 1000.0, 0.5));
    ASSERT_EQ(WAV2WMA(source.c_str(), destination.c_str(), GetParam().argument, nullptr), 0);
    EXPECT_EQ(probeEntry(destination, "format", "format_name"), "asf");
    EXPECT_EQ(probeEntry(destination, "stream", "codec_name"), "wmav2");
    EXPECT_EQ(probeEntry(destination, "stream", "sample_rate"), "44100");
    EXPECT_EQ(probeEntry(destination, "stream", "channels"), "2");
    EXPECT_EQ(probeEntry(destination, "stream", "bit_rate"), std::to_string(GetParam().bitsPerSecond));
}

// 64 selects the 64 kbit/s profile; every other value, the recorder's 192 among them, 128.
INSTANTIATE_TEST_SUITE_P(Profiles, Wav2WmaBitRate,
                         ::testing::Values(BitRateChoice {64, 64000}, BitRateChoice {128, 128000},
                                           BitRateChoice {192, 128000}, BitRateChoice {0, 128000}),
                         [](const ::testing::TestParamInfo<BitRateChoice>& info) {
                             return "Argument" + std::to_string(info.param.argument);
                         });

TEST_F(Wav2Wma, ToneSurvivesWithTheRightDuration)
{
    writeFile(source, sineWav(44100, 2, 2.0, 1000.0, 0.5));
    ASSERT_EQ(WAV2WMA(source.c_str(), destination.c_str(), 192, nullptr), 0);
    std::vector<int16_t> decoded = decodeWithFfmpeg(destination);
    // The encoder works in frames of 2048 samples and pads the last one with silence.
    EXPECT_GE(decoded.size() / 2, 88200u);
    EXPECT_LT(decoded.size() / 2, 88200u + 2048u);
    EXPECT_NEAR(toneFrequency(decoded, 2, 0, 44100), 1000.0, 2.0);
    EXPECT_NEAR(rmsLevel(decoded, 2, 1), 0.5 / std::sqrt(2.0), 0.03);
}

TEST_F(Wav2Wma, ProgressCountsWriterSamplesFromZero)
{
    // Three full samples of 32768 bytes after the header, then an empty one: the estimate is
    // (44 + 3 x 32768) / 32768 = 3 samples.
    writeFile(source, simpleWav(sineSamples(44100, 2, 3 * 8192 / 44100.0, 1000.0, 0.5)));
    ASSERT_EQ(readFile(source).size(), 44u + 3 * 32768);
    ASSERT_EQ(WAV2WMA(source.c_str(), destination.c_str(), 128, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values, std::vector<int>({0, 33, 66, 100}));
    std::vector<int16_t> decoded = decodeWithFfmpeg(destination);
    EXPECT_NEAR(static_cast<double>(decoded.size() / 2), 3 * 8192.0, 4096.0);
}

TEST_F(Wav2Wma, SourceShorterThanOneSampleReportsZero)
{
    writeFile(source, sineWav(44100, 2, 0.1, 1000.0, 0.5));
    ASSERT_EQ(WAV2WMA(source.c_str(), destination.c_str(), 128, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values, std::vector<int>({0}));
}

TEST_F(Wav2Wma, CancelKeepsAValidFileOfTheSamplesWrittenSoFar)
{
    writeFile(source, sineWav(44100, 2, 3.0, 1000.0, 0.5));
    ProgressRecorder::cancelAtCall = 3;
    ASSERT_EQ(WAV2WMA(source.c_str(), destination.c_str(), 128, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values.size(), 3u);
    EXPECT_EQ(probeEntry(destination, "stream", "codec_name"), "wmav2");
    // Two samples of 8192 frames were written before the cancel.
    std::vector<int16_t> decoded = decodeWithFfmpeg(destination);
    EXPECT_NEAR(static_cast<double>(decoded.size() / 2), 2 * 8192.0, 4096.0);
}

TEST_F(Wav2Wma, ExistingDestinationIsReplaced)
{
    writeFile(destination, std::string(1 << 20, 'x'));
    writeFile(source, sineWav(44100, 2, 0.5, 1000.0, 0.5));
    ASSERT_EQ(WAV2WMA(source.c_str(), destination.c_str(), 64, nullptr), 0);
    std::string file = readFile(destination);
    EXPECT_LT(file.size(), 20000u);
    EXPECT_EQ(file.find("xxxx"), std::string::npos);
    EXPECT_EQ(probeEntry(destination, "stream", "codec_name"), "wmav2");
}

TEST_F(Wav2Wma, MissingSourceFailsAndLeavesNoFile)
{
    EXPECT_NE(WAV2WMA(folder.file("missing.wav").c_str(), destination.c_str(), 128, ProgressRecorder::record), 0);
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_TRUE(ProgressRecorder::values.empty());
}

TEST_F(Wav2Wma, NamedPipeDestinationFailsWithoutWaitingAndIsLeftInPlace)
{
    writeFile(source, sineWav(44100, 2, 0.2, 1000.0, 0.5));
    ASSERT_EQ(mkfifo(destination.c_str(), 0600), 0);
    int result = 0;
    runWithoutHanging([&] { result = WAV2WMA(source.c_str(), destination.c_str(), 128, nullptr); }, destination);
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(std::filesystem::is_fifo(destination));
}

TEST_F(Wav2Wma, UnwritableDestinationFailsAndLeavesNoFile)
{
    writeFile(source, sineWav(44100, 2, 0.2, 1000.0, 0.5));
    std::string unwritable = folder.file("no such folder/take.wma");
    EXPECT_NE(WAV2WMA(source.c_str(), unwritable.c_str(), 128, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(unwritable));
}

namespace {

// The lag (in frames, decoded minus source) at which the left channels agree best, searched over
// +-maxLag: a decoded file that misses its first n frames scores best at -n.
int bestLag(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int maxLag)
{
    const long frames = static_cast<long>(std::min(source.size(), decoded.size()) / 2);
    double bestScore = -1e300;
    int best = 0;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double score = 0.0;
        for (long frame = maxLag; frame < frames - maxLag; ++frame)
            score += static_cast<double>(source[2 * frame]) * decoded[2 * (frame + lag)];
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

// A sweep from 200 Hz to 8 kHz: it matches itself at one lag only.
std::string sweepSamples(int frames)
{
    std::string bytes;
    double phase = 0.0;
    for (int frame = 0; frame < frames; ++frame) {
        const double frequency = 200.0 + 7800.0 * frame / frames;
        phase += 2.0 * M_PI * frequency / 44100.0;
        const auto value = static_cast<int16_t>(std::lround(12000.0 * std::sin(phase)));
        for (int channel = 0; channel < 2; ++channel) {
            bytes.push_back(static_cast<char>(value & 0xFF));
            bytes.push_back(static_cast<char>((value >> 8) & 0xFF));
        }
    }
    return bytes;
}

}

TEST_F(Wav2Wma, DecodedFileStartsAtTheFirstSampleWrittenAndKeepsTheLast)
{
    const std::string samples = sweepSamples(30000);
    writeFile(source, simpleWav(samples));
    ASSERT_EQ(WAV2WMA(source.c_str(), destination.c_str(), 128, nullptr), 0);
    const std::vector<int16_t> decoded = decodeWithFfmpeg(destination);
    const std::vector<int16_t> written = samplesOf(samples);
    EXPECT_NEAR(bestLag(written, decoded, 3000), 0, 1);
    // The toolkit's own reader agrees.
    const std::string readBack = folder.file("read-back.wav");
    ASSERT_EQ(WMA2WAV(destination.c_str(), readBack.c_str(), nullptr), 0);
    EXPECT_NEAR(bestLag(written, wavSamples(readFile(readBack)), 3000), 0, 1);
    // The last written samples are there too.
    ASSERT_GE(decoded.size(), written.size());
    const std::vector<int16_t> lastWritten(decoded.begin() + static_cast<long>(written.size()) - 4000,
                                           decoded.begin() + static_cast<long>(written.size()));
    EXPECT_NEAR(rmsLevel(lastWritten, 2, 0, 0), 12000.0 / 32768.0 / std::sqrt(2.0), 0.03);
}
