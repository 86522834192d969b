// WAV2MP3Tagged: the ID3v2 tag read back by ffprobe, the information tag still found behind it
// (the duration right), and the untagged file unchanged.

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/media/tag_test_tools.h"

#include <gtest/gtest.h>

#include <string>

using namespace wavelark::testing;

namespace {

// One MPEG-1 Layer III frame at 44100 Hz, in seconds.
constexpr double kFrameSeconds = 1152.0 / 44100.0;

// The size of the ID3v2 tag at the start of a file (its 10-byte header and syncsafe size), or
// 0 when the file does not start with one.
std::size_t id3TagBytes(const std::string& file)
{
    if (file.size() < 10 || file.compare(0, 3, "ID3") != 0)
        return 0;
    std::size_t size = 0;
    for (std::size_t index = 6; index < 10; ++index)
        size = (size << 7) | (static_cast<unsigned char>(file[index]) & 0x7F);
    return size + 10;
}

uint32_t bigEndianAt(const std::string& bytes, std::size_t offset)
{
    uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + index));
    return value;
}

// Checks that the information tag stands in the first frame after the ID3v2 tag and that its
// count of bytes is the audio's (the stream after the ID3v2 tag).
void expectInfoTagBehindId3Tag(const std::string& file)
{
    std::size_t tagBytes = id3TagBytes(file);
    ASSERT_GT(tagBytes, 10u);
    ASSERT_GT(file.size(), tagBytes + 52);
    EXPECT_EQ(static_cast<unsigned char>(file[tagBytes]), 0xFF);
    // In an MPEG-1 stereo frame the tag's name follows the 4-byte header and 32 bytes of side
    // information; its flags, frame count and byte count follow the name.
    EXPECT_EQ(file.substr(tagBytes + 36, 4), "Info");
    ASSERT_EQ(bigEndianAt(file, tagBytes + 40) & 3u, 3u);
    EXPECT_EQ(bigEndianAt(file, tagBytes + 48), file.size() - tagBytes);
}

class Wav2Mp3Tagged : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgressRecorder::reset();
        source = folder.file("take.wav");
        destination = folder.file("song.mp3");
        writeFile(source, sineWav(44100, 2, 2.0, 1000.0, 0.5));
    }

    TemporaryFolder folder;
    std::string source;
    std::string destination;
};

class Wav2Mp3TagCase : public Wav2Mp3Tagged, public ::testing::WithParamInterface<TagCase> {};

}

TEST_P(Wav2Mp3TagCase, TagsReadBackAndTheDurationStaysRight)
{
    const TagCase& tagCase = GetParam();
    ASSERT_EQ(WAV2MP3Tagged(source.c_str(), destination.c_str(), 128, 44100, &tagCase.tags, nullptr), 0);

    std::map<std::string, std::string> tags = probedTags(destination);
    EXPECT_EQ(tagOf(tags, "title"), tagCase.title);
    EXPECT_EQ(tagOf(tags, "artist"), tagCase.artist);
    EXPECT_EQ(tagOf(tags, "album"), tagCase.album);
    EXPECT_EQ(tagOf(tags, "date"), tagCase.year);
    EXPECT_EQ(tagOf(tags, "track"), tagCase.track);
    // Without the information tag found, ffprobe would estimate from the bit rate and ffmpeg
    // would not trim the encoder's delay and padding.
    EXPECT_NEAR(probedPlayingTime(destination), 2.0, kFrameSeconds);
    EXPECT_NEAR(static_cast<double>(decodeWithFfmpeg(destination).size() / 2), 88200.0, 1152.0);
    expectInfoTagBehindId3Tag(readFile(destination));
    // The toolkit's own reader (the recorder's import) gives the duration of the untagged file.
    std::string untaggedPath = folder.file("untagged.mp3");
    ASSERT_EQ(WAV2MP3(source.c_str(), untaggedPath.c_str(), 128, 44100, nullptr), 0);
    std::string untaggedDuration = GetWMADuration(untaggedPath.c_str());
    EXPECT_EQ(std::string(GetWMADuration(destination.c_str())), untaggedDuration);
    const char* title = GetWMAInfo(destination.c_str(), "Title");
    EXPECT_EQ(std::string(title ? title : ""), tagCase.title);
}

INSTANTIATE_TEST_SUITE_P(TagSets, Wav2Mp3TagCase, ::testing::ValuesIn(kTagCases, kTagCases + kTagCaseCount),
                         [](const ::testing::TestParamInfo<TagCase>& info) { return std::string(info.param.name); });

TEST_F(Wav2Mp3Tagged, NoTagsGiveTheBytesOfTheUntaggedExport)
{
    const SorvakTags empty {"", nullptr, "", nullptr, 0, 5};
    const struct {
        const char* name;
        const SorvakTags* tags;
    } rows[] = {{"null tags", nullptr}, {"no field set", &empty}};
    std::string untaggedPath = folder.file("untagged.mp3");
    ASSERT_EQ(WAV2MP3(source.c_str(), untaggedPath.c_str(), 128, 44100, nullptr), 0);
    std::string untagged = readFile(untaggedPath);
    ASSERT_FALSE(untagged.empty());
    for (const auto& row : rows) {
        ASSERT_EQ(WAV2MP3Tagged(source.c_str(), destination.c_str(), 128, 44100, row.tags, nullptr), 0) << row.name;
        EXPECT_TRUE(readFile(destination) == untagged) << row.name;
    }
}

TEST_F(Wav2Mp3Tagged, TitleOfAThousandCharactersReadsBackWhole)
{
    std::string title;
    for (int index = 0; index < 500; ++index)
        title += index % 2 ? "é" : "k";
    title += std::string(500, 'x');
    const SorvakTags tags {title.c_str(), "Artist", nullptr, nullptr, 1, 1};
    ASSERT_EQ(WAV2MP3Tagged(source.c_str(), destination.c_str(), 128, 44100, &tags, nullptr), 0);
    std::map<std::string, std::string> probed = probedTags(destination);
    EXPECT_EQ(tagOf(probed, "title"), title);
    EXPECT_EQ(tagOf(probed, "artist"), "Artist");
    EXPECT_NEAR(probedPlayingTime(destination), 2.0, kFrameSeconds);
    expectInfoTagBehindId3Tag(readFile(destination));
}

TEST_F(Wav2Mp3Tagged, TextThatIsNotUtf8IsLeftOutAndTheRestWritten)
{
    const SorvakTags tags {"Bad \xC3\x28 text", "Good Artist", nullptr, nullptr, 2, 0};
    ASSERT_EQ(WAV2MP3Tagged(source.c_str(), destination.c_str(), 128, 44100, &tags, nullptr), 0);
    std::map<std::string, std::string> probed = probedTags(destination);
    EXPECT_EQ(tagOf(probed, "title"), "");
    EXPECT_EQ(tagOf(probed, "artist"), "Good Artist");
    EXPECT_EQ(tagOf(probed, "track"), "2");
}

TEST_F(Wav2Mp3Tagged, CancelAtTheFirstProgressCallLeavesAValidTaggedFile)
{
    ProgressRecorder::cancelAtCall = 1;
    const SorvakTags tags {"Cut Short", "The Band", "Live", "1979", 3, 12};
    ASSERT_EQ(WAV2MP3Tagged(source.c_str(), destination.c_str(), 128, 44100, &tags, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values.size(), 1u);
    std::map<std::string, std::string> probed = probedTags(destination);
    EXPECT_EQ(tagOf(probed, "title"), "Cut Short");
    EXPECT_EQ(tagOf(probed, "track"), "3/12");
    expectInfoTagBehindId3Tag(readFile(destination));
    EXPECT_EQ(errorOutput("ffmpeg -v error -i " + shellQuoted(destination) + " -f null -"), "");
    // Only the first chunk and what the flush adds: a few frames, not two seconds.
    EXPECT_LT(probedPlayingTime(destination), 4 * kFrameSeconds);
}

TEST_F(Wav2Mp3Tagged, ProgressAndFailuresAreThoseOfTheUntaggedExport)
{
    const SorvakTags tags {"Song", nullptr, nullptr, nullptr, 0, 0};
    ASSERT_EQ(WAV2MP3(source.c_str(), folder.file("untagged.mp3").c_str(), 128, 44100, ProgressRecorder::record), 0);
    std::vector<int> untaggedProgress = ProgressRecorder::values;
    ProgressRecorder::reset();
    ASSERT_EQ(WAV2MP3Tagged(source.c_str(), destination.c_str(), 128, 44100, &tags, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values, untaggedProgress);

    std::string missing = folder.file("missing.wav");
    EXPECT_EQ(WAV2MP3Tagged(missing.c_str(), destination.c_str(), 128, 44100, &tags, nullptr), 1);
    std::string unwritable = folder.file("no-such-folder/song.mp3");
    EXPECT_EQ(WAV2MP3Tagged(source.c_str(), unwritable.c_str(), 128, 44100, &tags, nullptr), 3);
    EXPECT_EQ(WAV2MP3Tagged(source.c_str(), destination.c_str(), 128, 0, &tags, nullptr), 2);
}
