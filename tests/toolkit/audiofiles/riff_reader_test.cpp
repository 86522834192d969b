// The toolkit's own RIFF chunk reader, and the internal WAV helpers built on it: the format
// probe, header finalisation and the header template.

#include "support/temporary_folder.h"
#include "toolkit/audiofiles/expect_wav_format.h"
#include "toolkit/audiofiles/open_descriptors.h"
#include "toolkit/audiofiles/wav_builder.h"

#include "audiofiles/riff_reader.h"
#include "audiofiles/wav_header.h"
#include "audiofiles/wav_probe.h"
#include "sorvak.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace wavelark::testing;
using sorvak::makeFourCC;
using sorvak::RiffChunk;
using sorvak::RiffError;
using sorvak::RiffReader;

namespace {

using Category = RiffError::Category;

class RiffReaderTest : public ::testing::Test {
protected:
    RiffError open(const std::string& bytes)
    {
        writeFile(m_folder.path() / "file.riff", bytes);
        return m_reader.open(m_folder.file("file.riff").c_str());
    }

    TemporaryFolder m_folder;
    RiffReader m_reader;
};

}

TEST_F(RiffReaderTest, FindsChunksAndReportsTheirBodies)
{
    std::string bytes = riffWave({{"fmt ", pcmFormatBody(44100, 16, 2)}, {"odd ", "abc"}, {"data", "0123456789"}});
    ASSERT_FALSE(open(bytes));
    RiffChunk form;
    ASSERT_FALSE(m_reader.descendIntoForm(makeFourCC("WAVE"), form));
    EXPECT_EQ(form.dataOffset, 8u);
    EXPECT_EQ(form.declaredSize, bytes.size() - 8);

    RiffChunk odd;
    ASSERT_FALSE(m_reader.findChunk(form, makeFourCC("odd "), odd));
    EXPECT_EQ(odd.dataOffset, 44u);
    EXPECT_EQ(odd.declaredSize, 3u);
    EXPECT_EQ(odd.availableSize, 3u);

    RiffChunk data;
    ASSERT_FALSE(m_reader.findChunk(form, makeFourCC("data"), data));
    EXPECT_EQ(data.dataOffset, 56u);  // after the odd body and its pad byte
    char text[16] = {};
    size_t got = 0;
    ASSERT_FALSE(m_reader.read(data, 4, text, sizeof text, got));
    EXPECT_EQ(std::string(text, got), "456789");
}

TEST_F(RiffReaderTest, ChunkReachingPastTheFileIsCutToWhatExists)
{
    ASSERT_FALSE(open(riffWave({{"data", "abcdef", 0xFFFFFFFF}})));
    RiffChunk form;
    ASSERT_FALSE(m_reader.descendIntoForm(makeFourCC("WAVE"), form));
    RiffChunk data;
    ASSERT_FALSE(m_reader.findChunk(form, makeFourCC("data"), data));
    EXPECT_EQ(data.declaredSize, 0xFFFFFFFFu);
    EXPECT_EQ(data.availableSize, 6u);
    char buffer[64];
    size_t got = 99;
    ASSERT_FALSE(m_reader.read(data, 0, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 6u);
    ASSERT_FALSE(m_reader.read(data, 6, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u);
    ASSERT_FALSE(m_reader.read(data, 0xFFFFFFF0ull, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u);
}

TEST_F(RiffReaderTest, ErrorsNameTheirCategory)
{
    RiffChunk form;
    RiffChunk chunk;
    EXPECT_EQ(m_reader.open(m_folder.path().c_str()).category, Category::CannotOpen);
    EXPECT_EQ(m_reader.open(m_folder.file("missing").c_str()).category, Category::CannotOpen);
    EXPECT_EQ(m_reader.descendIntoForm(makeFourCC("WAVE"), form).category, Category::CannotOpen);

    ASSERT_FALSE(open(""));
    EXPECT_EQ(m_reader.descendIntoForm(makeFourCC("WAVE"), form).category, Category::NotRiff);
    ASSERT_FALSE(open(riffWave({})));
    EXPECT_EQ(m_reader.descendIntoForm(makeFourCC("AVI "), form).category, Category::NotRiff);

    ASSERT_FALSE(m_reader.descendIntoForm(makeFourCC("WAVE"), form));
    RiffError missing = m_reader.findChunk(form, makeFourCC("data"), chunk);
    EXPECT_EQ(missing.category, Category::ChunkNotFound);
    EXPECT_EQ(missing.offset, 12u);
}

TEST_F(RiffReaderTest, ReopeningClosesThePreviousFile)
{
    ASSERT_FALSE(open(riffWave({})));
    int openCount = openDescriptorCount();
    ASSERT_FALSE(open(riffWave({})));
    EXPECT_EQ(openDescriptorCount(), openCount);
    m_reader.close();
    EXPECT_EQ(openDescriptorCount(), openCount - 1);
}

TEST(WavFormatProbe, FillsItsOwnRecordAndLeavesNoFileOpen)
{
    TemporaryFolder folder;
    std::string path = folder.file("probe.wav");
    writeFile(path, riffWave({{"fmt ", pcmFormatBody(22050, 8, 1)}, {"LIST", "INFO"}, {"data", patternBytes(441)}}));
    int openCount = openDescriptorCount();
    const WavFormat* probe = sorvak::probeWavFormat(path.c_str());
    EXPECT_EQ(openDescriptorCount(), openCount);
    ASSERT_NE(probe, nullptr);
    // RIFF header 12, fmt 8 + 16, LIST 8 + 4, data header 8.
    expectWavFormat(*probe, WavFormat{.sampleRate = 22050, .bitsPerSample = 8, .channels = 1, .dataOffset = 56,
                                      .dataLength = 441, .blockAlign = 1, .formatTag = 1});

    // A slot opened on another file does not touch the probe record, nor the probe the slot's.
    std::string other = folder.file("other.wav");
    writeFile(other, simpleWav(patternBytes(8), 48000));
    WavFormat* slotFormat = OpenWAV(other.c_str(), 0);
    ASSERT_NE(slotFormat, nullptr);
    EXPECT_NE(slotFormat, probe);
    EXPECT_EQ(probe->sampleRate, 22050u);
    EXPECT_EQ(sorvak::probeWavFormat(folder.file("missing.wav").c_str()), nullptr);
    EXPECT_EQ(sorvak::probeWavFormat(folder.path().c_str()), nullptr);
    EXPECT_EQ(slotFormat->sampleRate, 48000u);
    CloseWAV(0);
}

TEST(WavHeaderFinalisation, AppendedSamplesAreCountedInBothSizes)
{
    TemporaryFolder folder;
    std::string path = folder.file("final.wav");
    ASSERT_EQ(CreateWAVHeader(path.c_str(), 44100, 16, 2), 0);
    std::string header = readFile(path);
    std::FILE* append = std::fopen(path.c_str(), "ab");
    ASSERT_NE(append, nullptr);
    std::string samples = patternBytes(1000);
    ASSERT_EQ(std::fwrite(samples.data(), 1, samples.size(), append), samples.size());
    ASSERT_EQ(std::fclose(append), 0);

    ASSERT_TRUE(sorvak::finaliseWavHeader(path.c_str()));
    std::string finished = readFile(path);
    ASSERT_EQ(finished.size(), 1044u);
    EXPECT_EQ(finished.substr(4, 4), littleEndian32(1036));
    EXPECT_EQ(finished.substr(40, 4), littleEndian32(1000));
    // Nothing else moved.
    EXPECT_EQ(finished.substr(8, 32), header.substr(8, 32));
    EXPECT_EQ(finished.substr(44), samples);

    WavFormat* format = OpenWAV(path.c_str(), 1);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->dataLength, 1000u);
    CloseWAV(1);
}

TEST(WavHeaderFinalisation, ShortOrMissingFilesAreLeftAlone)
{
    TemporaryFolder folder;
    std::string path = folder.file("short.wav");
    writeFile(path, std::string(43, 's'));
    EXPECT_FALSE(sorvak::finaliseWavHeader(path.c_str()));
    EXPECT_EQ(readFile(path), std::string(43, 's'));
    EXPECT_FALSE(sorvak::finaliseWavHeader(folder.file("missing.wav").c_str()));
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing.wav")));
    EXPECT_FALSE(sorvak::finaliseWavHeader(folder.path().c_str()));
    EXPECT_FALSE(sorvak::finaliseWavHeader(nullptr));

    // A bare header finalises to empty data.
    std::string empty = folder.file("empty.wav");
    ASSERT_EQ(CreateWAVHeader(empty.c_str(), 44100, 16, 2), 0);
    ASSERT_TRUE(sorvak::finaliseWavHeader(empty.c_str()));
    EXPECT_EQ(readFile(empty).substr(4, 4), littleEndian32(36));
    EXPECT_EQ(readFile(empty).substr(40, 4), littleEndian32(0));
}

TEST(WavHeaderFinalisation, FileOf4GiBOrMoreHoldsBothSizesAtTheLargestValue)
{
    TemporaryFolder folder;
    std::string path = folder.file("huge.wav");
    ASSERT_EQ(CreateWAVHeader(path.c_str(), 44100, 16, 2), 0);
    struct Row {
        uint64_t length;
        uint32_t riffSize;
        uint32_t dataSize;
    };
    // The RIFF size reaches its limit 36 bytes before the data size does.
    for (Row row : {Row{(uint64_t(1) << 32) - 37 + 44, 0xFFFFFFFFu, 0xFFFFFFFFu - 36},
                    Row{(uint64_t(1) << 32) - 1 + 44, 0xFFFFFFFFu, 0xFFFFFFFFu},
                    Row{uint64_t(5) << 30, 0xFFFFFFFFu, 0xFFFFFFFFu}}) {
        SCOPED_TRACE(row.length);
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(row.length)), 0);
        ASSERT_TRUE(sorvak::finaliseWavHeader(path.c_str()));
        std::FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        char header[44];
        ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
        std::fclose(file);
        EXPECT_EQ(std::string(header + 4, 4), littleEndian32(row.riffSize));
        EXPECT_EQ(std::string(header + 40, 4), littleEndian32(row.dataSize));
    }
}

TEST(WavHeaderTemplate, IsTheStereoCdHeaderWrittenAtTheStreamPosition)
{
    TemporaryFolder folder;
    std::string created = folder.file("created.wav");
    ASSERT_EQ(CreateWAVHeader(created.c_str(), 44100, 16, 2), 0);

    std::string path = folder.file("template.wav");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite("xy", 1, 2, file), 2u);
    EXPECT_TRUE(sorvak::writeWavHeaderTemplate(file));
    ASSERT_EQ(std::fclose(file), 0);
    EXPECT_EQ(readFile(path), "xy" + readFile(created));
    EXPECT_FALSE(sorvak::writeWavHeaderTemplate(nullptr));
}
