// The one rule for the size fields of every WAV header the system writes, read back from a
// header whose sizes were written into it.

#include "canonical_wav_header.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace wavelark::audio;

namespace {

uint32_t littleEndian32At(const CanonicalWavHeader& header, std::size_t offset)
{
    uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index)
        value |= static_cast<uint32_t>(header[offset + index]) << (8 * index);
    return value;
}

struct SizeRow {
    uint64_t dataBytes;
    uint32_t riffSize;
    uint32_t dataSize;
};

class WavSizeFieldRule : public ::testing::TestWithParam<SizeRow> {};

constexpr uint64_t k4GiB = uint64_t(1) << 32;

}

TEST_P(WavSizeFieldRule, EachFieldIsHeldAtTheLargest32BitValueOnItsOwn)
{
    CanonicalWavHeader header = canonicalWavHeader(44100, 16, 2);
    CanonicalWavHeader written = header;
    // The header in memory stands for the start of a file.
    std::FILE* file = fmemopen(written.data(), written.size(), "r+");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(writeWavSizeFields(file, GetParam().dataBytes));
    ASSERT_EQ(std::fclose(file), 0);

    EXPECT_EQ(littleEndian32At(written, 4), GetParam().riffSize);
    EXPECT_EQ(littleEndian32At(written, 40), GetParam().dataSize);
    // Nothing but the two fields changed.
    EXPECT_EQ(std::memcmp(written.data(), header.data(), 4), 0);
    EXPECT_EQ(std::memcmp(written.data() + 8, header.data() + 8, 32), 0);
}

INSTANTIATE_TEST_SUITE_P(
    DataSizes, WavSizeFieldRule,
    ::testing::Values(SizeRow {0, 36, 0}, SizeRow {1000, 1036, 1000},
                      // The RIFF size reaches its limit 36 bytes before the data size does.
                      SizeRow {k4GiB - 37, 0xFFFFFFFFu, 0xFFFFFFDBu}, SizeRow {k4GiB - 36, 0xFFFFFFFFu, 0xFFFFFFDCu},
                      SizeRow {k4GiB - 1, 0xFFFFFFFFu, 0xFFFFFFFFu}, SizeRow {k4GiB, 0xFFFFFFFFu, 0xFFFFFFFFu},
                      SizeRow {5 * (k4GiB / 4), 0xFFFFFFFFu, 0xFFFFFFFFu},
                      SizeRow {UINT64_MAX, 0xFFFFFFFFu, 0xFFFFFFFFu}));
