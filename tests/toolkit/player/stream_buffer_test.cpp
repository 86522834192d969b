#include "sorvak.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::vector<uint8_t> countingBytes(size_t size)
{
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), uint8_t{1});
    return bytes;
}

class StreamBufferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        record.blockSize = kBlockSize;
        ASSERT_EQ(StreamBuffer(&record, 0), 0);
        ASSERT_NE(record.block, nullptr);
    }
    void TearDown() override { StreamBuffer(&record, 2); }

    std::vector<uint8_t> block() const { return {record.block, record.block + record.blockSize}; }

    static constexpr uint32_t kBlockSize = 64;
    StreamBufferRecord record{};
};

}

TEST_F(StreamBufferTest, AChunkThatExactlyFillsTheBlockGivesOneBlockThenNothing)
{
    std::vector<uint8_t> chunk = countingBytes(kBlockSize);
    record.source = chunk.data();
    record.sourceLength = kBlockSize;
    EXPECT_EQ(StreamBuffer(&record, 1), 1);
    EXPECT_EQ(record.sourceLength, 0u);
    EXPECT_EQ(block(), chunk);
    std::vector<uint8_t> full = block();

    EXPECT_EQ(StreamBuffer(&record, 1), 0);
    EXPECT_EQ(record.fill, 0u);
    EXPECT_EQ(block(), full);
}

TEST_F(StreamBufferTest, ThreeAndAHalfBlocksGiveThreeBlocksAndKeepTheHalf)
{
    std::vector<uint8_t> chunk = countingBytes(kBlockSize * 7 / 2);
    record.source = chunk.data();
    record.sourceLength = static_cast<uint32_t>(chunk.size());
    for (uint32_t index = 0; index < 3; ++index) {
        ASSERT_EQ(StreamBuffer(&record, 1), 1) << "block " << index;
        EXPECT_EQ(block(), std::vector<uint8_t>(chunk.begin() + index * kBlockSize, chunk.begin() + (index + 1) * kBlockSize));
    }
    EXPECT_EQ(StreamBuffer(&record, 1), 0);
    EXPECT_EQ(record.fill, kBlockSize / 2);
    EXPECT_EQ(record.sourceOffset, 0u);
    EXPECT_TRUE(std::equal(chunk.end() - kBlockSize / 2, chunk.end(), record.block));

    // The next chunk completes the held half first.
    std::vector<uint8_t> next = countingBytes(kBlockSize);
    record.source = next.data();
    record.sourceLength = kBlockSize;
    EXPECT_EQ(StreamBuffer(&record, 1), 1);
    EXPECT_TRUE(std::equal(next.begin(), next.begin() + kBlockSize / 2, record.block + kBlockSize / 2));
    EXPECT_EQ(record.sourceLength, kBlockSize / 2);
    EXPECT_EQ(record.sourceOffset, kBlockSize / 2);
}

TEST_F(StreamBufferTest, FeedingWithoutAChunkDoesNothing)
{
    record.source = nullptr;
    record.sourceLength = 10;
    record.fill = 3;
    EXPECT_EQ(StreamBuffer(&record, 1), 0);
    EXPECT_EQ(record.fill, 3u);
    EXPECT_EQ(record.sourceLength, 10u);
    EXPECT_EQ(block(), std::vector<uint8_t>(kBlockSize, 0));
}

TEST_F(StreamBufferTest, ResetEmptiesTheBlockAndFreeingTwiceIsHarmless)
{
    std::vector<uint8_t> chunk = countingBytes(10);
    record.source = chunk.data();
    record.sourceLength = 10;
    EXPECT_EQ(StreamBuffer(&record, 1), 0);
    EXPECT_EQ(StreamBuffer(&record, 3), 0);
    EXPECT_EQ(record.fill, 0u);
    EXPECT_EQ(record.sourceLength, 0u);
    EXPECT_EQ(block(), std::vector<uint8_t>(kBlockSize, 0));
    EXPECT_EQ(StreamBuffer(&record, 7), 0);

    EXPECT_EQ(StreamBuffer(&record, 2), 0);
    EXPECT_EQ(record.block, nullptr);
    EXPECT_EQ(StreamBuffer(&record, 2), 0);
    record.sourceLength = 10;
    EXPECT_EQ(StreamBuffer(&record, 1), 0);
}
