// Sample width and channel conversion (ConvertAudioBufferAlign).
#include "sorvak.h"
#include "toolkit/dsp/guarded_bytes.h"
#include "toolkit/dsp/reference_chain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

using wavelark::testing::GuardedBytes;

namespace {

std::vector<uint8_t> le16(std::initializer_list<int> values)
{
    std::vector<uint8_t> bytes;
    for (int value : values) {
        bytes.push_back(static_cast<uint8_t>(value & 0xff));
        bytes.push_back(static_cast<uint8_t>((value >> 8) & 0xff));
    }
    return bytes;
}

// Converts through a guarded copy of the input, so a read past its end faults.
std::vector<uint8_t> convert(const std::vector<uint8_t>& input, int sourceBits, int destinationBits,
                             int sourceChannels, int destinationChannels, uint32_t* blockAlign = nullptr,
                             SorvakFrameFunction perFrame = nullptr)
{
    GuardedBytes guarded(input.data(), input.size());
    AudioBuffer source{guarded.data(), static_cast<uint32_t>(input.size()), 0};
    AudioBuffer destination{};
    ConvertAudioBufferAlign(&source, &destination, sourceBits, destinationBits, sourceChannels, destinationChannels,
                            perFrame);
    if (blockAlign)
        *blockAlign = destination.blockAlign;
    auto* bytes = static_cast<uint8_t*>(destination.data);
    std::vector<uint8_t> out(bytes, bytes + destination.size);
    std::free(destination.data);
    return out;
}

struct ConversionCase {
    const char* name;
    int sourceBits;
    int destinationBits;
    int sourceChannels;
    int destinationChannels;
    std::vector<uint8_t> input;
    std::vector<uint8_t> expected;
};

class FormatConversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(FormatConversion, GivesTheWorkedBytes)
{
    const ConversionCase& c = GetParam();
    uint32_t blockAlign = 0;
    EXPECT_EQ(convert(c.input, c.sourceBits, c.destinationBits, c.sourceChannels, c.destinationChannels, &blockAlign),
              c.expected);
    EXPECT_EQ(blockAlign, static_cast<uint32_t>(c.destinationBits / 8 * c.destinationChannels));
}

INSTANTIATE_TEST_SUITE_P(
    Worked, FormatConversion,
    testing::Values(
        // Mono to stereo copies the sample; 8-bit centres on 128 and scales by 256.
        ConversionCase{"EightMonoToSixteenStereo", 8, 16, 1, 2, {0x80, 0x00, 0xff, 0x81},
                       le16({0, 0, -32768, -32768, 32512, 32512, 256, 256})},
        // Stereo to mono averages, truncating toward zero: (-3 + 0) / 2 is -1, (3 + 0) / 2 is 1.
        ConversionCase{"StereoToMonoTruncatesTowardZero", 16, 16, 2, 1, le16({-3, 0, 3, 0, -5, -6, 100, 201}),
                       le16({-1, 1, -5, 150})},
        // Full-scale channels average without wrapping.
        ConversionCase{"StereoToMonoAtFullScale", 16, 16, 2, 1, le16({32767, 32767, -32768, -32768, 32767, -32768}),
                       le16({32767, -32768, 0})},
        // 16 to 8 bits keeps the high byte: -1 -> 127, 256 -> 129; the ends map to 0 and 255.
        ConversionCase{"SixteenToEightKeepsTheHighByte", 16, 8, 2, 2, le16({-1, 256, 32767, -32768, 255, -256}),
                       {127, 129, 255, 0, 128, 127}},
        ConversionCase{"SixteenStereoToEightMono", 16, 8, 2, 1, le16({-3, 0, 32767, 32767}), {127, 255}},
        ConversionCase{"EightStereoToEightMono", 8, 8, 2, 1, {0x00, 0xff, 0x10, 0x20, 0x7f, 0x80}, {127, 24, 127}},
        ConversionCase{"SixteenMonoToEightStereo", 16, 8, 1, 2, le16({-32768, 512}), {0, 0, 130, 130}},
        ConversionCase{"EightStereoToSixteenStereo", 8, 16, 2, 2, {0x00, 0xff}, le16({-32768, 32512})},
        ConversionCase{"SixteenStereoUnchanged", 16, 16, 2, 2, le16({1, -2, 32767, -32768}),
                       le16({1, -2, 32767, -32768})}),
    [](const testing::TestParamInfo<ConversionCase>& info) { return std::string(info.param.name); });

struct PartialCase {
    int sourceBits;
    int sourceChannels;
    size_t bytes;
};

class PartialFrames : public testing::TestWithParam<PartialCase> {};

TEST_P(PartialFrames, AreNeitherReadNorWritten)
{
    const PartialCase& c = GetParam();
    std::vector<uint8_t> input(c.bytes);
    for (size_t index = 0; index < input.size(); ++index)
        input[index] = static_cast<uint8_t>(index * 37 + 5);
    size_t frameBytes = static_cast<size_t>(c.sourceBits / 8 * c.sourceChannels);
    std::vector<uint8_t> whole(input.begin(), input.begin() + static_cast<long>(input.size() / frameBytes * frameBytes));
    for (int destinationBits : {8, 16})
        for (int destinationChannels : {1, 2})
            EXPECT_EQ(convert(input, c.sourceBits, destinationBits, c.sourceChannels, destinationChannels),
                      wavelark::testing::referenceConvert(whole, c.sourceBits, destinationBits, c.sourceChannels,
                                                          destinationChannels));
}

INSTANTIATE_TEST_SUITE_P(Sizes, PartialFrames,
                         testing::Values(PartialCase{16, 2, 7}, PartialCase{16, 2, 3}, PartialCase{16, 2, 1},
                                         PartialCase{16, 1, 5}, PartialCase{8, 2, 9}, PartialCase{16, 2, 16387}));

TEST(FormatConversion, EveryPairMatchesTheFrameByFrameDefinition)
{
    std::mt19937 random(7);
    std::vector<uint8_t> input(4 * 3001);
    for (uint8_t& byte : input)
        byte = static_cast<uint8_t>(random());
    for (int sourceBits : {8, 16})
        for (int sourceChannels : {1, 2})
            for (int destinationBits : {8, 16})
                for (int destinationChannels : {1, 2})
                    EXPECT_EQ(convert(input, sourceBits, destinationBits, sourceChannels, destinationChannels),
                              wavelark::testing::referenceConvert(input, sourceBits, destinationBits, sourceChannels,
                                                                  destinationChannels))
                        << sourceBits << "/" << sourceChannels << " -> " << destinationBits << "/"
                        << destinationChannels;
}

int swapAndCount(int16_t* frame)
{
    static int calls = 0;
    int16_t left = frame[0];
    frame[0] = frame[1];
    frame[1] = left;
    return ++calls;
}

TEST(FormatConversion, PerFrameCallbackSeesTheWorkingFormatBeforeTheMixDown)
{
    // 8-bit stereo decodes to (-32768, 32512); swapped, then written as 16-bit stereo.
    EXPECT_EQ(convert({0x00, 0xff, 0x80, 0x81}, 8, 16, 2, 2, nullptr, &swapAndCount),
              le16({32512, -32768, 256, 0}));
    // The mix-down averages what the callback left: (-1 + -4) / 2 = -2.
    EXPECT_EQ(convert(le16({-4, -1}), 16, 16, 2, 1, nullptr, &swapAndCount), le16({-2}));
}

TEST(FormatConversion, OtherWidthsAndCountsAreReadByTheirBitPatterns)
{
    // 24 bits: 24 / 8 = 3 has bit 1 set, so each 3-byte frame is read as one 16-bit sample.
    EXPECT_EQ(convert({0x01, 0x02, 0x03, 0xff, 0xff, 0x00}, 24, 16, 1, 1), le16({0x0201, -1}));
    // Four channels: 4 / 2 = 2 is even, so only the first sample of each frame is read (mono).
    EXPECT_EQ(convert({0x90, 0x10, 0x20, 0x30}, 8, 8, 4, 1), std::vector<uint8_t>({0x90}));
}

TEST(FormatConversion, FormatsWithoutWholeBytesPerFrameGiveNoBuffer)
{
    std::vector<uint8_t> input(16, 0x40);
    AudioBuffer source{input.data(), static_cast<uint32_t>(input.size()), 4};
    for (auto [bits, channels] : {std::pair{16, 0}, std::pair{4, 2}, std::pair{0, 1}, std::pair{-16, 2}}) {
        AudioBuffer destination{&source, 99, 99};
        ConvertAudioBufferAlign(&source, &destination, bits, 16, channels, 2, nullptr);
        EXPECT_EQ(destination.data, nullptr);
        EXPECT_EQ(destination.size, 0u);
        ConvertAudioBufferAlign(&source, &destination, 16, bits, 2, channels, nullptr);
        EXPECT_EQ(destination.data, nullptr);
        EXPECT_EQ(destination.size, 0u);
    }
}

}
