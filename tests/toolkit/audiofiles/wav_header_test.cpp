// The canonical WAV header written by CreateWAVHeader, through the toolkit's exports.

#include "support/temporary_folder.h"
#include "toolkit/audiofiles/wav_builder.h"

#include "sorvak.h"

#include <gtest/gtest.h>

#include <string>

using namespace wavelark::testing;

namespace {

// The header as the file format defines it for 44100 Hz, 16 bits, 2 channels, both sizes 0.
const std::string kStereo44100Header = std::string("RIFF\0\0\0\0WAVEfmt ", 16)
    + std::string("\x10\0\0\0" "\x01\0" "\x02\0" "\x44\xAC\0\0" "\x10\xB1\x02\0" "\x04\0" "\x10\0", 20)
    + std::string("data\0\0\0\0", 8);

struct HeaderFormat {
    int sampleRate;
    int bitsPerSample;
    int channels;
    uint16_t blockAlign;
    uint32_t bytesPerSecond;
};

class CreateWavHeaderFormats : public ::testing::TestWithParam<HeaderFormat> {};

}

TEST(CreateWavHeader, StereoCdFormatGivesTheExactTemplateBytes)
{
    TemporaryFolder folder;
    std::string path = folder.file("header.wav");
    EXPECT_EQ(CreateWAVHeader(path.c_str(), 44100, 16, 2), 0);
    EXPECT_EQ(readFile(path), kStereo44100Header);
}

TEST(CreateWavHeader, ExistingFileIsTruncatedToTheHeader)
{
    TemporaryFolder folder;
    std::string path = folder.file("old.wav");
    writeFile(path, std::string(5000, 'z'));
    EXPECT_EQ(CreateWAVHeader(path.c_str(), 44100, 16, 2), 0);
    EXPECT_EQ(readFile(path), kStereo44100Header);
}

TEST(CreateWavHeader, FileThatCannotBeCreatedGivesZeroAndNothingIsWritten)
{
    TemporaryFolder folder;
    EXPECT_EQ(CreateWAVHeader(folder.file("no/such/folder.wav").c_str(), 44100, 16, 2), 0);
    EXPECT_EQ(CreateWAVHeader(folder.path().c_str(), 44100, 16, 2), 0);
    EXPECT_EQ(CreateWAVHeader(nullptr, 44100, 16, 2), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "no"));
}

TEST_P(CreateWavHeaderFormats, FormatFieldsFollowTheArguments)
{
    const HeaderFormat& format = GetParam();
    TemporaryFolder folder;
    std::string path = folder.file("format.wav");
    ASSERT_EQ(CreateWAVHeader(path.c_str(), format.sampleRate, format.bitsPerSample, format.channels), 0);
    std::string expected = "RIFF" + littleEndian32(0) + "WAVEfmt " + littleEndian32(16) + littleEndian16(1)
        + littleEndian16(static_cast<uint16_t>(format.channels)) + littleEndian32(static_cast<uint32_t>(format.sampleRate))
        + littleEndian32(format.bytesPerSecond) + littleEndian16(format.blockAlign)
        + littleEndian16(static_cast<uint16_t>(format.bitsPerSample)) + "data" + littleEndian32(0);
    EXPECT_EQ(readFile(path), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, CreateWavHeaderFormats,
                         ::testing::Values(HeaderFormat{8000, 8, 1, 1, 8000},
                                           HeaderFormat{22050, 16, 1, 2, 44100},
                                           HeaderFormat{48000, 24, 2, 6, 288000},
                                           HeaderFormat{96000, 32, 6, 24, 2304000},
                                           // 12 bits: whole bytes per sample, truncated.
                                           HeaderFormat{44100, 12, 2, 2, 88200}));
