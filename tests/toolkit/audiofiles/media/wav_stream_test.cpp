// WAV files through the reader slots: 64 KiB reads cut into 1024-byte blocks, times in units of
// one frame's truncated duration, starts and seeks on whole seconds, and the slot table's limits.

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/media/reader_test_tools.h"
#include "toolkit/audiofiles/wav_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

using namespace wavelark::testing;

namespace {

constexpr int kSlot = 6;
constexpr int64_t kFrameDuration = 226;  // 10 000 000 / 44100, truncated

// Frame n holds n: the low 15 bits on the left, the rest on the right, so every frame of the
// stream can be told apart after the reader has delivered it.
std::string indexedFrames(uint32_t first, uint32_t count)
{
    std::string bytes;
    for (uint32_t frame = first; frame < first + count; ++frame)
        bytes += littleEndian16(static_cast<uint16_t>(frame & 0x7FFF)) + littleEndian16(static_cast<uint16_t>(frame >> 15));
    return bytes;
}

int64_t frameIndexAt(const std::vector<int16_t>& samples, std::size_t frame)
{
    return samples[frame * 2] + (static_cast<int64_t>(samples[frame * 2 + 1]) << 15);
}

class WavStream : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = folder.file("take.wav");
        // Three seconds and a part block: 529 200 bytes are 516 blocks of 1024 and 816 bytes.
        writeFile(path, simpleWav(indexedFrames(0, 3 * 44100)));
    }
    void TearDown() override { CloseWMA(kSlot); }

    TemporaryFolder folder;
    std::string path;
};

}

TEST_F(WavStream, DeliversWholeBlocksStampedWithTheReadPosition)
{
    int64_t duration = 0;
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, &duration), 1);
    EXPECT_EQ(duration, 132300 * kFrameDuration);
    ReadBack read = readToEnd(kSlot);
    ASSERT_EQ(read.lengths.size(), 516u);
    for (int32_t length : read.lengths)
        ASSERT_EQ(length, 1024);
    // The first 64 blocks come from the first 64 KiB read: time and progress are those of its end.
    EXPECT_EQ(read.times.front(), 16384 * kFrameDuration);
    EXPECT_EQ(read.times[63], 16384 * kFrameDuration);
    EXPECT_EQ(read.times[64], 32768 * kFrameDuration);
    EXPECT_EQ(read.times.back(), 132300 * kFrameDuration);
    EXPECT_EQ(read.progress.front(), 12);  // 100 / (529 200 / 65 536)
    EXPECT_EQ(read.progress.back(), 100);
    EXPECT_TRUE(neverFalls(read.progress));
    // The resampler passes equal rates through one frame late, starting with a silent frame;
    // the last 816 bytes (less than a block) are not delivered.
    EXPECT_EQ(frameIndexAt(read.samples, 0), 0);
    for (std::size_t frame = 1; frame < read.samples.size() / 2; ++frame)
        ASSERT_EQ(frameIndexAt(read.samples, frame), static_cast<int64_t>(frame - 1)) << frame;
}

TEST_F(WavStream, ExactSecondReportsTheDurationInUnitsOf226)
{
    std::string second = folder.file("second.WAV");
    writeFile(second, simpleWav(indexedFrames(0, 44100)));
    int64_t duration = 0;
    ASSERT_EQ(OpenWMA(kSlot, second.c_str(), 0, &duration), 1);
    EXPECT_EQ(duration, 9966600);
}

TEST_F(WavStream, StartTimeGoesBackToTheWholeSecond)
{
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 25000000, nullptr), 1);
    ReadBack read = readToEnd(kSlot);
    ASSERT_FALSE(read.samples.empty());
    EXPECT_EQ(frameIndexAt(read.samples, 1), 88200);
    EXPECT_EQ(read.times.front(), (88200 + 16384) * kFrameDuration);
}

TEST_F(WavStream, SeekGoesToTheWholeSecondAfterTheBytesAlreadyHeld)
{
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 1);
    ReadBack first = readToEnd(kSlot);
    CloseWMA(kSlot);

    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 1);
    ASSERT_EQ(readBlockLength(kSlot), 1024);
    SeekWMA(kSlot, 17000000);
    ReadBack rest = readToEnd(kSlot);
    // The rest of the first 64 KiB (frames 255 to 16383) comes first, then frame 44100 on.
    EXPECT_EQ(frameIndexAt(rest.samples, 0), 255);
    std::size_t jump = 16383 - 255;
    ASSERT_GT(rest.samples.size() / 2, jump + 1);
    EXPECT_EQ(frameIndexAt(rest.samples, jump), 16383);
    EXPECT_EQ(frameIndexAt(rest.samples, jump + 1), 44100);
    EXPECT_LT(rest.samples.size(), first.samples.size());
}

TEST_F(WavStream, SeekAtOrBeyondTheEndDoesNotMove)
{
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 1);
    ASSERT_EQ(readBlockLength(kSlot), 1024);
    SeekWMA(kSlot, 30000000);
    SeekWMA(kSlot, 90000000);
    ReadBack rest = readToEnd(kSlot);
    EXPECT_EQ(rest.lengths.size(), 515u);
    EXPECT_EQ(frameIndexAt(rest.samples, 0), 255);
}

TEST_F(WavStream, SpeedFactorTwoHalvesTheFramesAndIsKeptAcrossOpens)
{
    constexpr int kSpeedSlot = 7;
    ASSERT_EQ(OpenWMA(kSpeedSlot, path.c_str(), 0, nullptr), 1);
    std::size_t bytes = 0;
    for (int32_t length = 0; (length = readBlockLength(kSpeedSlot, 2.0)) >= 0;)
        bytes += static_cast<std::size_t>(length);
    // 516 blocks of 256 frames, the first one gliding from the previous speed (1.0) to 2.0.
    EXPECT_NEAR(static_cast<double>(bytes / 4), 516 * 128.0, 128.0);

    // The slot remembers 2.0: in the first block after opening it again the output frames per
    // input frame glide from 1/2 to 1, giving 256 x 0.75 frames; the next one, at 1.0, 256.
    ASSERT_EQ(OpenWMA(kSpeedSlot, path.c_str(), 0, nullptr), 1);
    EXPECT_NEAR(readBlockLength(kSpeedSlot) / 4.0, 192.0, 2.0);
    EXPECT_EQ(readBlockLength(kSpeedSlot), 1024);
    CloseWMA(kSpeedSlot);
}

namespace {

class RefusedSpeed : public WavStream, public ::testing::WithParamInterface<double> {};

}

TEST_P(RefusedSpeed, ReadsNothingAndLeavesTheSlotAsItWas)
{
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 1);
    int32_t length = 3;
    void* block = &length;  // anything but null, to see it cleared
    EXPECT_EQ(ReadWMA(kSlot, &block, &length, nullptr, GetParam(), 0), -1);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 0);
    // Every block is still to come, the first at the normal speed the slot had before.
    ReadBack read = readToEnd(kSlot);
    ASSERT_EQ(read.lengths.size(), 516u);
    EXPECT_EQ(read.lengths.front(), 1024);
}

INSTANTIATE_TEST_SUITE_P(Speeds, RefusedSpeed, ::testing::Values(0.0, -1.0, std::nan(""), HUGE_VAL));

TEST_F(WavStream, MonoEightBitAt22050ComesOutAt44100Stereo)
{
    std::string mono = folder.file("mono.wav");
    std::string samples;
    for (int frame = 0; frame < 22050; ++frame)
        samples += static_cast<char>(128 + static_cast<int>(100.0 * std::sin(2.0 * M_PI * 500.0 * frame / 22050.0)));
    writeFile(mono, simpleWav(samples, 22050, 8, 1));
    ASSERT_EQ(OpenWMA(kSlot, mono.c_str(), 0, nullptr), 1);
    EXPECT_EQ(GetFormatWMA(kSlot)->nSamplesPerSec, 22050u);
    ReadBack read = readToEnd(kSlot);
    ASSERT_EQ(read.lengths.size(), 21u);  // whole blocks of 1024 frames
    EXPECT_EQ(read.samples.size() / 2, 21u * 2048);
    EXPECT_NEAR(toneFrequency(read.samples, 2, 0, 44100), 500.0, 1.0);
    EXPECT_EQ(read.samples[1000], read.samples[1001]);
}

TEST_F(WavStream, SlotOpenedAgainReadsTheNewFile)
{
    ASSERT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 1);
    std::string other = folder.file("other.wav");
    writeFile(other, simpleWav(indexedFrames(0, 2048)));
    ASSERT_EQ(OpenWMA(kSlot, other.c_str(), 0, nullptr), 1);
    EXPECT_EQ(readToEnd(kSlot).lengths.size(), 8u);
}

namespace {

struct RefusedWav {
    const char* name;
    std::string bytes;
};

class RefusedWavFile : public ::testing::TestWithParam<RefusedWav> {};

std::string formatBody(uint16_t tag, uint32_t rate, uint16_t bits, uint16_t channels)
{
    uint16_t blockAlign = static_cast<uint16_t>(channels * bits / 8);
    return littleEndian16(tag) + littleEndian16(channels) + littleEndian32(rate) + littleEndian32(rate * blockAlign)
        + littleEndian16(blockAlign) + littleEndian16(bits);
}

std::string wavWithFormat(uint16_t tag, uint32_t rate, uint16_t bits, uint16_t channels)
{
    return riffWave({{"fmt ", formatBody(tag, rate, bits, channels)}, {"data", patternBytes(8192)}});
}

}

TEST_P(RefusedWavFile, IsNotOpened)
{
    TemporaryFolder folder;
    std::string path = folder.file("refused.wav");
    writeFile(path, GetParam().bytes);
    EXPECT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 0);
    void* block = &folder;
    int32_t length = 5;
    EXPECT_EQ(ReadWMA(kSlot, &block, &length, nullptr, 1.0, 0), -1);
    EXPECT_EQ(block, nullptr);
    CloseWMA(kSlot);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RefusedWavFile,
    ::testing::Values(RefusedWav {"FloatSamples", wavWithFormat(3, 44100, 32, 2)},
                      RefusedWav {"TwentyFourBits", wavWithFormat(1, 44100, 24, 2)},
                      RefusedWav {"ThreeChannels", wavWithFormat(1, 44100, 16, 3)},
                      RefusedWav {"RateZero", wavWithFormat(1, 0, 16, 2)},
                      RefusedWav {"NotRiff", std::string("an MP3 file named .wav")},
                      RefusedWav {"Empty", std::string()}),
    [](const ::testing::TestParamInfo<RefusedWav>& info) { return std::string(info.param.name); });

TEST(ReaderSlots, NumbersOutsideZeroToNineAreRefused)
{
    TemporaryFolder folder;
    std::string path = folder.file("take.wav");
    writeFile(path, simpleWav(indexedFrames(0, 4096)));
    for (int slot : {-1, 10, 1000}) {
        EXPECT_EQ(OpenWMA(slot, path.c_str(), 0, nullptr), 0) << slot;
        void* block = &folder;
        int32_t length = 5;
        EXPECT_EQ(ReadWMA(slot, &block, &length, nullptr, 1.0, 0), -1);
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(GetFormatWMA(slot), nullptr);
        SeekWMA(slot, 0);
        CloseWMA(slot);
    }
    EXPECT_EQ(OpenWMA(9, path.c_str(), 0, nullptr), 1);
    CloseWMA(9);
}

TEST(ReaderSlots, NeverOpenedOrClosedSlotIsAtItsEnd)
{
    void* block = nullptr;
    int32_t length = 5;
    EXPECT_EQ(ReadWMA(8, &block, &length, nullptr, 1.0, 0), -1);
    EXPECT_EQ(length, 0);
    CloseWMA(8);
    EXPECT_EQ(ReadWMA(8, &block, &length, nullptr, 1.0, 0), -1);
}
