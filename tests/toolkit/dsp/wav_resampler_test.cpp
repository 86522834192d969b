// The WAV file converter (ResampleWAV) end to end: header, samples, progress and failures.
#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/dsp/reference_chain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using wavelark::testing::readFile;
using wavelark::testing::ReferenceState;
using wavelark::testing::TemporaryFolder;
using wavelark::testing::writeFile;

using wavelark::testing::randomBytes;

namespace {

constexpr size_t kReadBlock = 16384;

void put16(std::string& bytes, uint16_t value)
{
    bytes.push_back(static_cast<char>(value & 0xff));
    bytes.push_back(static_cast<char>(value >> 8));
}

void put32(std::string& bytes, uint32_t value)
{
    put16(bytes, static_cast<uint16_t>(value & 0xffff));
    put16(bytes, static_cast<uint16_t>(value >> 16));
}

uint32_t get32(const std::string& bytes, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

uint16_t get16(const std::string& bytes, size_t offset)
{
    uint16_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 2);
    return value;
}

std::string wavFile(const std::vector<uint8_t>& samples, uint32_t rate, uint16_t bits, uint16_t channels,
                    uint16_t tag = 1)
{
    auto blockAlign = static_cast<uint16_t>(bits / 8 * channels);
    std::string bytes = "RIFF";
    put32(bytes, static_cast<uint32_t>(36 + samples.size()));
    bytes += "WAVEfmt ";
    put32(bytes, 16);
    put16(bytes, tag);
    put16(bytes, channels);
    put32(bytes, rate);
    put32(bytes, rate * blockAlign);
    put16(bytes, blockAlign);
    put16(bytes, bits);
    bytes += "data";
    put32(bytes, static_cast<uint32_t>(samples.size()));
    bytes.append(reinterpret_cast<const char*>(samples.data()), samples.size());
    return bytes;
}

// The converter's output worked out by the plain chain over the same 16384-byte reads.
std::string expectedSamples(const std::vector<uint8_t>& source, int sourceRate, int sourceBits, int sourceChannels,
                            int rate, int bits, int channels, double speed, size_t blocks = SIZE_MAX)
{
    ReferenceState state;
    std::string out;
    for (size_t first = 0, block = 0; block < blocks; first += kReadBlock, ++block) {
        size_t size = std::min(kReadBlock, source.size() - first);
        std::vector<uint8_t> read(source.begin() + static_cast<long>(first),
                                  source.begin() + static_cast<long>(first + size));
        std::vector<uint8_t> converted = wavelark::testing::referenceResample(
            read, sourceBits, sourceChannels, sourceRate, bits, channels, rate, speed, speed, state);
        out.append(reinterpret_cast<const char*>(converted.data()), converted.size());
        if (size < kReadBlock)
            break;
    }
    return out;
}

void expectCanonicalHeader(const std::string& file, uint32_t rate, uint16_t bits, uint16_t channels)
{
    ASSERT_GE(file.size(), 44u);
    auto blockAlign = static_cast<uint16_t>(bits / 8 * channels);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(get32(file, 4), file.size() - 8);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(get16(file, 22), channels);
    EXPECT_EQ(get32(file, 24), rate);
    EXPECT_EQ(get32(file, 28), rate * blockAlign);
    EXPECT_EQ(get16(file, 32), blockAlign);
    EXPECT_EQ(get16(file, 34), bits);
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(get32(file, 40), file.size() - 44);
}

struct FileCase {
    uint32_t sourceRate;
    uint16_t sourceBits;
    uint16_t sourceChannels;
    size_t sourceBytes;
    int rate;
    int bits;
    int channels;
    double speed;
};

class WavConversion : public testing::TestWithParam<FileCase> {};

TEST_P(WavConversion, WritesTheChainsSamplesBehindAFinalisedHeader)
{
    const FileCase& c = GetParam();
    TemporaryFolder folder;
    std::vector<uint8_t> samples = randomBytes(c.sourceBytes, 21);
    writeFile(folder.file("source.wav"), wavFile(samples, c.sourceRate, c.sourceBits, c.sourceChannels));
    std::string destination = folder.file("out.wav");
    EXPECT_EQ(ResampleWAV(folder.file("source.wav").c_str(), destination.c_str(), c.rate, c.bits, c.channels,
                          c.speed, nullptr),
              destination.c_str());
    std::string file = readFile(destination);
    expectCanonicalHeader(file, static_cast<uint32_t>(c.rate), static_cast<uint16_t>(c.bits),
                          static_cast<uint16_t>(c.channels));
    EXPECT_TRUE(file.substr(44) == expectedSamples(samples, static_cast<int>(c.sourceRate), c.sourceBits,
                                                   c.sourceChannels, c.rate, c.bits, c.channels, c.speed));
}

INSTANTIATE_TEST_SUITE_P(Formats, WavConversion,
                         testing::Values(FileCase{44100, 16, 2, 160000, 22050, 16, 2, 1.0},
                                         FileCase{44100, 16, 2, 100000, 48000, 8, 2, 1.0},
                                         FileCase{22050, 8, 1, 50001, 44100, 16, 2, 1.0},
                                         FileCase{44100, 16, 1, 40002, 44100, 16, 2, 1.5},
                                         FileCase{44100, 16, 2, 4 * kReadBlock, 44100, 16, 2, 1.0},
                                         FileCase{44100, 16, 2, 0, 44100, 16, 2, 1.0}));

std::vector<int> g_progress;
int g_cancelAt = -1;

int recordProgress(int percent)
{
    g_progress.push_back(percent);
    return static_cast<int>(g_progress.size()) == g_cancelAt;
}

TEST(WavConversion, ReportsProgressPerBlockThenZeroAndEndsOnAnEmptyRead)
{
    TemporaryFolder folder;
    // Two whole blocks: the third read returns 0 bytes, which adds nothing and ends the loop.
    std::vector<uint8_t> samples = randomBytes(2 * kReadBlock, 5);
    writeFile(folder.file("source.wav"), wavFile(samples, 44100, 16, 2));
    g_progress.clear();
    g_cancelAt = -1;
    std::string destination = folder.file("out.wav");
    ASSERT_NE(ResampleWAV(folder.file("source.wav").c_str(), destination.c_str(), 44100, 16, 2, 1.0,
                          &recordProgress),
              nullptr);
    EXPECT_EQ(g_progress, (std::vector<int>{50, 100, 100, 0}));
    EXPECT_EQ(readFile(destination).size(), 44 + 2 * kReadBlock);
}

TEST(WavConversion, ACancelledConversionLeavesAValidFileWithTheBlocksSoFar)
{
    TemporaryFolder folder;
    std::vector<uint8_t> samples = randomBytes(5 * kReadBlock + 100, 6);
    writeFile(folder.file("source.wav"), wavFile(samples, 44100, 16, 2));
    g_progress.clear();
    g_cancelAt = 2;
    std::string destination = folder.file("out.wav");
    EXPECT_EQ(ResampleWAV(folder.file("source.wav").c_str(), destination.c_str(), 22050, 16, 2, 1.0,
                          &recordProgress),
              destination.c_str());
    EXPECT_EQ(g_progress, (std::vector<int>{19, 39, 0}));
    std::string file = readFile(destination);
    expectCanonicalHeader(file, 22050, 16, 2);
    EXPECT_TRUE(file.substr(44) == expectedSamples(samples, 44100, 16, 2, 22050, 16, 2, 1.0, 2));
}

struct RefusedCase {
    const char* name;
    std::string source;  // file contents; empty: no source file
    int rate;
    int bits;
    int channels;
    double speed = 1.0;
};

class RefusedConversion : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedConversion, ReturnsNullAndLeavesNoFile)
{
    const RefusedCase& c = GetParam();
    TemporaryFolder folder;
    if (!c.source.empty())
        writeFile(folder.file("source.wav"), c.source);
    std::string destination = folder.file("out.wav");
    EXPECT_EQ(ResampleWAV(folder.file("source.wav").c_str(), destination.c_str(), c.rate, c.bits, c.channels, c.speed,
                          nullptr),
              nullptr);
    EXPECT_FALSE(std::filesystem::exists(destination));
}

const std::vector<uint8_t> kSomeSamples = randomBytes(4000, 8);

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedConversion,
    testing::Values(RefusedCase{"MissingSource", "", 44100, 16, 2},
                    RefusedCase{"NotAWavFile", std::string(100, 'x'), 44100, 16, 2},
                    RefusedCase{"TwentyFourBitSource", wavFile(kSomeSamples, 44100, 24, 2), 44100, 16, 2},
                    RefusedCase{"FloatSource", wavFile(kSomeSamples, 44100, 16, 2, 3), 44100, 16, 2},
                    RefusedCase{"ThreeChannelSource", wavFile(kSomeSamples, 44100, 16, 3), 44100, 16, 2},
                    RefusedCase{"ZeroRateSource", wavFile(kSomeSamples, 0, 16, 2), 44100, 16, 2},
                    RefusedCase{"TwelveBitOutput", wavFile(kSomeSamples, 44100, 16, 2), 44100, 12, 2},
                    RefusedCase{"ThreeChannelOutput", wavFile(kSomeSamples, 44100, 16, 2), 44100, 16, 3},
                    RefusedCase{"ZeroRateOutput", wavFile(kSomeSamples, 44100, 16, 2), 0, 16, 2},
                    RefusedCase{"RateJustBelowTheRange", wavFile(kSomeSamples, 44100, 16, 2), 999, 16, 2},
                    RefusedCase{"RateJustAboveTheRange", wavFile(kSomeSamples, 44100, 16, 2), 384001, 16, 2},
                    RefusedCase{"RateOfABillion", wavFile(kSomeSamples, 44100, 16, 2), 1000000000, 16, 2},
                    RefusedCase{"ZeroSpeed", wavFile(kSomeSamples, 44100, 16, 2), 44100, 16, 2, 0.0},
                    RefusedCase{"NegativeSpeed", wavFile(kSomeSamples, 44100, 16, 2), 44100, 16, 2, -1.0},
                    RefusedCase{"NanSpeed", wavFile(kSomeSamples, 44100, 16, 2), 44100, 16, 2, std::nan("")},
                    RefusedCase{"InfiniteSpeed", wavFile(kSomeSamples, 44100, 16, 2), 44100, 16, 2, HUGE_VAL}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST(WavConversion, BothEndsOfTheRateRangeAreAccepted)
{
    TemporaryFolder folder;
    writeFile(folder.file("source.wav"), wavFile(kSomeSamples, 44100, 16, 2));
    for (int rate : {1000, 384000}) {
        EXPECT_NE(ResampleWAV(folder.file("source.wav").c_str(), folder.file("out.wav").c_str(), rate, 16, 2, 1.0,
                              nullptr),
                  nullptr)
            << rate;
    }
}

TEST(WavConversion, ADestinationThatCannotBeCreatedGivesNullAndNoFile)
{
    TemporaryFolder folder;
    writeFile(folder.file("source.wav"), wavFile(kSomeSamples, 44100, 16, 2));
    std::string destination = folder.file("missing-folder/out.wav");
    EXPECT_EQ(ResampleWAV(folder.file("source.wav").c_str(), destination.c_str(), 44100, 16, 2, 1.0, nullptr),
              nullptr);
    EXPECT_FALSE(std::filesystem::exists(destination));
    // A folder in the destination's place is left alone.
    std::filesystem::create_directory(folder.path() / "taken");
    EXPECT_EQ(ResampleWAV(folder.file("source.wav").c_str(), folder.file("taken").c_str(), 44100, 16, 2, 1.0, nullptr),
              nullptr);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "taken"));
}

TEST(WavConversion, ConvertingAFileOntoItselfIsRefusedAndKeepsTheSource)
{
    TemporaryFolder folder;
    std::string source = wavFile(kSomeSamples, 44100, 16, 2);
    writeFile(folder.file("take.wav"), source);
    EXPECT_EQ(ResampleWAV(folder.file("take.wav").c_str(), folder.file("take.wav").c_str(), 22050, 16, 2, 1.0, nullptr),
              nullptr);
    EXPECT_TRUE(readFile(folder.file("take.wav")) == source);
}

TEST(WavConversion, ReleasesTheSourceSlot)
{
    TemporaryFolder folder;
    writeFile(folder.file("source.wav"), wavFile(kSomeSamples, 44100, 16, 2));
    ASSERT_NE(ResampleWAV(folder.file("source.wav").c_str(), folder.file("out.wav").c_str(), 44100, 16, 2, 1.0,
                          nullptr),
              nullptr);
    EXPECT_EQ(ReadWAV(0, 16, std::vector<uint8_t>(16).data()), 0);
}

}
