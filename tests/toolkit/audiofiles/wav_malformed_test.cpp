// OpenWAV, ReadWAV and SeekWAV on damaged and hostile files: every one is refused or read within
// its bounds (the sanitizer builds check that no byte outside a buffer is touched).

#include "support/temporary_folder.h"
#include "toolkit/audiofiles/wav_builder.h"

#include "sorvak.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace wavelark::testing;

namespace {

constexpr int kSlot = 7;

// Reads the whole data chunk in blocks of 37 bytes (not a divisor of any size used here).
uint64_t readTotal(int slot)
{
    uint64_t total = 0;
    std::vector<char> block(37);
    for (int guard = 0; guard < 100000; ++guard) {
        int got = ReadWAV(slot, static_cast<int>(block.size()), block.data());
        EXPECT_GE(got, 0);
        EXPECT_LE(got, static_cast<int>(block.size()));
        if (got <= 0)
            break;
        total += static_cast<uint64_t>(got);
    }
    return total;
}

struct MalformedFile {
    const char* name;
    std::string bytes;
    bool opens;
    uint64_t bytesRead;  // when it opens: the sample bytes ReadWAV delivers in all
};

std::string format() { return pcmFormatBody(44100, 16, 2); }

std::vector<MalformedFile> malformedFiles()
{
    std::string samples = patternBytes(100);
    std::string simple = simpleWav(samples);
    std::vector<RiffChunkBytes> manyEmptyChunks(2000, RiffChunkBytes{"junk", ""});
    manyEmptyChunks.push_back({"fmt ", format()});
    manyEmptyChunks.push_back({"data", samples});
    std::string bigEndian = simple;
    bigEndian.replace(0, 4, "RIFX");
    std::string notWave = simple;
    notWave.replace(8, 4, "AVI ");
    return {
        {"Empty", "", false, 0},
        {"OnlyRiff", "RIFF", false, 0},
        {"RiffHeaderOnly", simple.substr(0, 12), false, 0},
        {"BigEndianRifx", bigEndian, false, 0},
        {"NotAWaveForm", notWave, false, 0},
        {"NoFormatChunk", riffWave({{"data", samples}}), false, 0},
        {"NoDataChunk", riffWave({{"fmt ", format()}}), false, 0},
        {"FormatSizeHuge", riffWave({{"fmt ", format(), 0xFFFFFFFF}, {"data", samples}}), false, 0},
        {"FormatBodyOfTwoBytes", riffWave({{"fmt ", format().substr(0, 2)}, {"data", samples}}), false, 0},
        {"FormatCutByTheEndOfTheFile", riffWave({{"data", samples}, {"fmt ", format().substr(0, 10), 16}}), false, 0},
        {"ListSizeHugeBeforeData", riffWave({{"fmt ", format()}, {"LIST", "INFO", 0xFFFFFFFF}, {"data", samples}}), false, 0},
        {"OddChunkWithoutItsPadByte", riffWave({{"fmt ", format()}, {"odd ", "abc", -1, false}, {"data", samples}}), false, 0},
        {"DataHeaderCutInItsSize", riffWave({{"fmt ", format()}}) + "data\x10", false, 0},
        {"DataSizeHuge", riffWave({{"fmt ", format()}, {"data", samples, 0xFFFFFFFF}}), true, 100},
        {"DataSizeBeyondTheFile", riffWave({{"fmt ", format()}, {"data", samples, 1000}}), true, 100},
        {"DataSizeZero", riffWave({{"fmt ", format()}, {"data", samples, 0}}), true, 0},
        {"OddChunkWithItsPadByte", riffWave({{"fmt ", format()}, {"odd ", "abc"}, {"data", samples}}), true, 100},
        {"OddDataChunk", riffWave({{"fmt ", format()}, {"data", samples.substr(0, 99)}, {"next", "x"}}), true, 99},
        {"RiffSizeZeroOfAnUnfinishedWriter", riffWave({{"fmt ", format()}, {"data", samples}}, 0), true, 100},
        {"RiffSizeTooSmall", riffWave({{"fmt ", format()}, {"data", samples}}, 4), true, 100},
        {"RiffSizeHuge", riffWave({{"fmt ", format()}, {"data", samples}}, 0xFFFFFFFF), true, 100},
        {"ThousandsOfEmptyChunks", riffWave(manyEmptyChunks), true, 100},
    };
}

class MalformedWav : public ::testing::TestWithParam<MalformedFile> {
protected:
    void TearDown() override { CloseWAV(kSlot); }
    TemporaryFolder m_folder;
};

}

TEST_P(MalformedWav, IsRefusedOrReadWithinItsBounds)
{
    const MalformedFile& file = GetParam();
    std::string path = m_folder.file("malformed.wav");
    writeFile(path, file.bytes);
    WavFormat* format = OpenWAV(path.c_str(), kSlot);
    ASSERT_EQ(format != nullptr, file.opens);
    if (!format)
        return;
    EXPECT_EQ(readTotal(kSlot), file.bytesRead);
    // Seeking anywhere and reading again stays within the file.
    for (uint32_t position : {0u, 2u, 96u, 200u, 0xFFFFFFFCu}) {
        uint32_t set = SeekWAV(kSlot, position);
        EXPECT_LE(set, format->dataLength);
        EXPECT_LE(readTotal(kSlot), file.bytesRead);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedWav, ::testing::ValuesIn(malformedFiles()),
                         [](const ::testing::TestParamInfo<MalformedFile>& info) { return std::string(info.param.name); });

TEST(MalformedWavPath, FolderPipeMissingAndEmptyPathsAreRefused)
{
    TemporaryFolder folder;
    EXPECT_EQ(OpenWAV(folder.path().c_str(), kSlot), nullptr);
    // A named pipe without a writer would block a reader that waited for one.
    std::string pipe = folder.file("pipe.wav");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(OpenWAV(pipe.c_str(), kSlot), nullptr);
    EXPECT_EQ(OpenWAV(folder.file("missing.wav").c_str(), kSlot), nullptr);
    EXPECT_EQ(OpenWAV("", kSlot), nullptr);
    EXPECT_EQ(OpenWAV(nullptr, kSlot), nullptr);
    char block[4];
    EXPECT_EQ(ReadWAV(kSlot, 4, block), 0);
}

// A valid file cut at every length: it opens exactly when the data chunk's header is complete,
// and then delivers just the sample bytes that survived.
TEST(MalformedWavTruncation, EveryPrefixOfAValidFileIsRefusedOrReadToItsEnd)
{
    TemporaryFolder folder;
    std::string samples = patternBytes(160);
    std::string whole = riffWave({{"fmt ", pcmFormatBody(44100, 16, 2, true)}, {"LIST", "INFOtest"}, {"data", samples}});
    const size_t dataOffset = whole.size() - samples.size();
    std::string path = folder.file("cut.wav");
    for (size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE(length);
        writeFile(path, whole.substr(0, length));
        WavFormat* format = OpenWAV(path.c_str(), kSlot);
        ASSERT_EQ(format != nullptr, length >= dataOffset);
        if (!format)
            continue;
        EXPECT_EQ(format->dataOffset, dataOffset);
        EXPECT_EQ(format->dataLength, samples.size());
        EXPECT_EQ(readTotal(kSlot), length - dataOffset);
    }
    CloseWAV(kSlot);
}
