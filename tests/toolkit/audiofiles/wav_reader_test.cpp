// The WAV slot reader through the toolkit's exports: OpenWAV, ReadWAV, SeekWAV, CloseWAV.

#include "support/temporary_folder.h"
#include "toolkit/audiofiles/expect_wav_format.h"
#include "toolkit/audiofiles/open_descriptors.h"
#include "toolkit/audiofiles/wav_builder.h"

#include "sorvak.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace wavelark::testing;

namespace {

constexpr int kSlot = 0;

// Reads the slot to its end in blocks of blockSize, checking that no block is longer than asked.
std::string readAll(int slot, int blockSize)
{
    std::string all;
    std::vector<char> block(static_cast<size_t>(blockSize));
    for (int guard = 0; guard < 1000000; ++guard) {
        int got = ReadWAV(slot, blockSize, block.data());
        EXPECT_GE(got, 0);
        EXPECT_LE(got, blockSize);
        if (got <= 0)
            break;
        all.append(block.data(), static_cast<size_t>(got));
    }
    return all;
}

class WavReader : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (int slot = 0; slot < 10; ++slot)
            CloseWAV(slot);
    }

    std::string write(const std::string& name, const std::string& bytes)
    {
        writeFile(m_folder.path() / name, bytes);
        return m_folder.file(name);
    }

    TemporaryFolder m_folder;
};

}

TEST_F(WavReader, CanonicalFileReportsItsFormatAndDelivers32KiBBlocks)
{
    std::string samples = patternBytes(100000);
    WavFormat* format = OpenWAV(write("take.wav", simpleWav(samples)).c_str(), kSlot);
    ASSERT_NE(format, nullptr);
    expectWavFormat(*format, WavFormat{.sampleRate = 44100, .bitsPerSample = 16, .channels = 2, .dataOffset = 44,
                                       .dataLength = 100000, .blockAlign = 4, .formatTag = 1});
    EXPECT_EQ(readAll(kSlot, 32768), samples);
    EXPECT_EQ(ReadWAV(kSlot, 32768, std::vector<char>(32768).data()), 0);
}

TEST_F(WavReader, ListChunkBetweenFormatAndDataMovesTheDataOffset)
{
    std::string samples = patternBytes(400);
    std::string list = "INFOISFT" + littleEndian32(6) + "tests";  // 17 bytes: odd, padded
    std::string bytes = riffWave({{"fmt ", pcmFormatBody(44100, 16, 2)}, {"LIST", list}, {"data", samples}});
    WavFormat* format = OpenWAV(write("list.wav", bytes).c_str(), kSlot);
    ASSERT_NE(format, nullptr);
    // RIFF header 12, fmt 8 + 16, LIST 8 + 17 + 1 pad, data header 8.
    EXPECT_EQ(format->dataOffset, 70u);
    EXPECT_EQ(bytes.substr(70, 400), samples);
    EXPECT_EQ(format->dataLength, 400u);
    EXPECT_EQ(readAll(kSlot, 64), samples);
}

TEST_F(WavReader, DataBeforeFormatIsFoundAsWell)
{
    std::string samples = patternBytes(40);
    std::string bytes = riffWave({{"data", samples}, {"fmt ", pcmFormatBody(22050, 8, 1)}});
    WavFormat* format = OpenWAV(write("reversed.wav", bytes).c_str(), kSlot);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->dataOffset, 20u);
    EXPECT_EQ(format->sampleRate, 22050u);
    EXPECT_EQ(format->blockAlign, 1u);
    EXPECT_EQ(readAll(kSlot, 16), samples);
}

TEST_F(WavReader, ReadsAfterTheDataChunkCountOnlyDataBytes)
{
    std::string samples = patternBytes(1000);
    std::string trailer(500, 'x');
    std::string bytes = riffWave({{"fmt ", pcmFormatBody(44100, 16, 2)}, {"data", samples}, {"junk", trailer}});
    ASSERT_NE(OpenWAV(write("trailer.wav", bytes).c_str(), kSlot), nullptr);

    std::vector<char> block(600);
    EXPECT_EQ(ReadWAV(kSlot, 600, block.data()), 600);
    // The read that crosses the end returns just the 400 bytes of the data chunk.
    EXPECT_EQ(ReadWAV(kSlot, 600, block.data()), 400);
    EXPECT_EQ(std::string(block.data(), 400), samples.substr(600));
    EXPECT_EQ(ReadWAV(kSlot, 600, block.data()), 0);
    EXPECT_EQ(ReadWAV(kSlot, 1, block.data()), 0);
}

TEST_F(WavReader, SeekRoundsDownToAFrameAndFallsBackToTheStartPastTheEnd)
{
    std::string samples = patternBytes(4000);
    ASSERT_NE(OpenWAV(write("seek.wav", simpleWav(samples)).c_str(), kSlot), nullptr);
    char block[8];

    EXPECT_EQ(SeekWAV(kSlot, 1003), 1000u);
    ASSERT_EQ(ReadWAV(kSlot, 8, block), 8);
    EXPECT_EQ(std::string(block, 8), samples.substr(1000, 8));

    // Rounding comes first: 4003 becomes 4000, the end, which is kept; 4004 is past the end.
    EXPECT_EQ(SeekWAV(kSlot, 4003), 4000u);
    EXPECT_EQ(SeekWAV(kSlot, 4004), 0u);
    ASSERT_EQ(ReadWAV(kSlot, 8, block), 8);
    EXPECT_EQ(std::string(block, 8), samples.substr(0, 8));

    // The end itself is a valid position, from which nothing more is read.
    EXPECT_EQ(SeekWAV(kSlot, 4000), 4000u);
    EXPECT_EQ(ReadWAV(kSlot, 8, block), 0);
    // A seek after reaching the end makes the stream readable again.
    EXPECT_EQ(SeekWAV(kSlot, 3996), 3996u);
    ASSERT_EQ(ReadWAV(kSlot, 8, block), 4);
    EXPECT_EQ(std::string(block, 4), samples.substr(3996));
}

TEST_F(WavReader, SlotNumbersOutsideTheTableAreRefused)
{
    std::string path = write("slot.wav", simpleWav(patternBytes(16)));
    char block[16];
    for (int slot : {-1, 10, 1000, -2147483647 - 1}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(OpenWAV(path.c_str(), slot), nullptr);
        EXPECT_EQ(ReadWAV(slot, 16, block), 0);
        EXPECT_EQ(SeekWAV(slot, 4), 0u);
        CloseWAV(slot);
    }
    // Every slot of the table works on its own.
    for (int slot = 0; slot < 10; ++slot)
        ASSERT_NE(OpenWAV(path.c_str(), slot), nullptr) << slot;
    for (int slot = 0; slot < 10; ++slot)
        EXPECT_EQ(ReadWAV(slot, 16, block), 16) << slot;
}

TEST_F(WavReader, ReopeningAnOpenSlotLeaksNoFileDescriptor)
{
    std::string path = write("reopen.wav", simpleWav(patternBytes(64)));
    ASSERT_NE(OpenWAV(path.c_str(), 4), nullptr);
    int openCount = openDescriptorCount();
    for (int round = 0; round < 20; ++round)
        ASSERT_NE(OpenWAV(path.c_str(), 4), nullptr);
    EXPECT_EQ(openDescriptorCount(), openCount);
    // A failed open of an open slot releases the old stream as well.
    EXPECT_EQ(OpenWAV(m_folder.file("missing.wav").c_str(), 4), nullptr);
    EXPECT_EQ(openDescriptorCount(), openCount - 1);
    char block[4];
    EXPECT_EQ(ReadWAV(4, 4, block), 0);
}

TEST_F(WavReader, BadReadArgumentsDeliverNothingAndKeepThePosition)
{
    std::string samples = patternBytes(64);
    ASSERT_NE(OpenWAV(write("arguments.wav", simpleWav(samples)).c_str(), kSlot), nullptr);
    char block[8];
    EXPECT_EQ(ReadWAV(kSlot, 8, nullptr), 0);
    EXPECT_EQ(ReadWAV(kSlot, -8, block), 0);
    EXPECT_EQ(ReadWAV(kSlot, 0, block), 0);
    ASSERT_EQ(ReadWAV(kSlot, 8, block), 8);
    EXPECT_EQ(std::string(block, 8), samples.substr(0, 8));
}

TEST_F(WavReader, FormatRecordOutlivesCloseAndStreamDoesNot)
{
    WavFormat* format = OpenWAV(write("close.wav", simpleWav(patternBytes(32), 48000, 24, 2)).c_str(), kSlot);
    ASSERT_NE(format, nullptr);
    CloseWAV(kSlot);
    CloseWAV(kSlot);
    EXPECT_EQ(format->sampleRate, 48000u);
    EXPECT_EQ(format->blockAlign, 6u);
    char block[8];
    EXPECT_EQ(ReadWAV(kSlot, 8, block), 0);
    EXPECT_EQ(SeekWAV(kSlot, 6), 0u);
    // The next open of the slot reuses the same record.
    EXPECT_EQ(OpenWAV(m_folder.file("close.wav").c_str(), kSlot), format);
}

TEST_F(WavReader, FormatOf16And18BytesReadsAlikeAndShorterIsRefused)
{
    std::string samples = patternBytes(8);
    std::string extended = riffWave({{"fmt ", pcmFormatBody(32000, 16, 1, true)}, {"data", samples}});
    WavFormat* format = OpenWAV(write("extended.wav", extended).c_str(), kSlot);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->sampleRate, 32000u);
    EXPECT_EQ(format->dataOffset, 46u);

    std::string shortFormat = riffWave({{"fmt ", pcmFormatBody(32000, 16, 1).substr(0, 14)}, {"data", samples}});
    EXPECT_EQ(OpenWAV(write("short.wav", shortFormat).c_str(), kSlot), nullptr);
    // A refused open leaves the record zeroed rather than holding the previous file's format.
    EXPECT_EQ(format->sampleRate, 0u);
    EXPECT_EQ(format->dataLength, 0u);
}

TEST_F(WavReader, StreamReadsTheOpenedFileEvenWhenThePathIsReplaced)
{
    std::string samples = patternBytes(64);
    std::string path = write("replaced.wav", simpleWav(samples));
    ASSERT_NE(OpenWAV(path.c_str(), kSlot), nullptr);
    std::string other = write("other.wav", simpleWav(std::string(64, 'o')));
    std::filesystem::rename(other, path);
    EXPECT_EQ(readAll(kSlot, 16), samples);
}
