// GetWMAInfo and GetWMADuration: tags other tools wrote, under the Windows Media attribute
// names, and duration texts of WAV and compressed files.

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/wav_builder.h"

#include <gtest/gtest.h>

#include <string>

using namespace wavelark::testing;

namespace {

struct TaggedContainer {
    const char* name;
    const char* fileName;
    const char* codecOptions;
};

class TaggedFile : public ::testing::TestWithParam<TaggedContainer> {
protected:
    void SetUp() override
    {
        path = folder.file(GetParam().fileName);
        std::string command = std::string("ffmpeg -v error -f lavfi -i sine=duration=1 ") + GetParam().codecOptions
            + " -metadata title='Rainy Day Café' -metadata artist='Anna Berg' -metadata album='Quiet Rooms'"
              " -metadata date=2004 -metadata genre=Jazz -metadata track=7 -metadata comment='kept as it is' "
            + shellQuoted(path);
        ASSERT_TRUE(runCommand(command).succeeded) << command;
    }

    std::string info(const char* attribute)
    {
        const char* value = GetWMAInfo(path.c_str(), attribute);
        return value ? value : "(null)";
    }

    TemporaryFolder folder;
    std::string path;
};

}

TEST_P(TaggedFile, WindowsMediaAttributeNamesReadTheTags)
{
    EXPECT_EQ(info("Title"), "Rainy Day Café");
    EXPECT_EQ(info("Author"), "Anna Berg");
    EXPECT_EQ(info("WM/AlbumTitle"), "Quiet Rooms");
    EXPECT_EQ(info("WM/Year"), "2004");
    EXPECT_EQ(info("WM/Genre"), "Jazz");
    EXPECT_EQ(info("WM/TrackNumber"), "7");
}

TEST_P(TaggedFile, OtherNamesAreLookedUpAsTheyStandAndMissingOnesAreNull)
{
    EXPECT_EQ(info("comment"), "kept as it is");
    EXPECT_EQ(GetWMAInfo(path.c_str(), "WM/Composer"), nullptr);
}

TEST_P(TaggedFile, DurationAttributeIsTheLengthIn100Nanoseconds)
{
    double duration = std::stod(info("Duration"));
    EXPECT_NEAR(duration, 1e7, 0.06e7);
}

INSTANTIATE_TEST_SUITE_P(Containers, TaggedFile,
                         ::testing::Values(TaggedContainer {"Wma", "tagged.wma", "-c:a wmav2"},
                                           TaggedContainer {"Mp3", "tagged.mp3", "-c:a libmp3lame"},
                                           TaggedContainer {"Ogg", "tagged.ogg", "-c:a libvorbis"}),
                         [](const ::testing::TestParamInfo<TaggedContainer>& info) { return std::string(info.param.name); });

TEST(MediaInfo, UnreadableFileHasNoAttributes)
{
    TemporaryFolder folder;
    EXPECT_EQ(GetWMAInfo(folder.file("missing.wma").c_str(), "Title"), nullptr);
    writeFile(folder.file("text.wma"), "not a media file at all");
    EXPECT_EQ(GetWMAInfo(folder.file("text.wma").c_str(), "Title"), nullptr);
    EXPECT_EQ(GetWMAInfo(nullptr, "Title"), nullptr);
}

TEST(MediaInfo, WavDurationComesFromTheHeaderInWholeSeconds)
{
    TemporaryFolder folder;
    // 3 minutes 25 seconds of 8-bit mono at 8000 Hz.
    std::string path = folder.file("long.wav");
    writeFile(path, simpleWav(std::string(205 * 8000, '\x80'), 8000, 8, 1));
    EXPECT_STREQ(GetWMADuration(path.c_str()), nanosec2time(2050000000));
    // The 9 966 600 of the reader slots is a matter of frames; the duration text is exact.
    std::string second = folder.file("second.WAV");
    writeFile(second, simpleWav(std::string(44100 * 4, '\0')));
    EXPECT_STREQ(GetWMADuration(second.c_str()), nanosec2time(10000000));
}

TEST(MediaInfo, CompressedDurationComesFromTheContainer)
{
    TemporaryFolder folder;
    std::string path = folder.file("five.wma");
    ASSERT_TRUE(runCommand("ffmpeg -v error -f lavfi -i sine=duration=65.5 -c:a wmav2 " + shellQuoted(path)).succeeded);
    EXPECT_STREQ(GetWMADuration(path.c_str()), nanosec2time(650000000));
}

TEST(MediaInfo, UnreadableFilesHaveNoDuration)
{
    TemporaryFolder folder;
    std::string zero = nanosec2time(0);
    EXPECT_STREQ(GetWMADuration(folder.file("missing.mp3").c_str()), zero.c_str());
    writeFile(folder.file("text.wav"), "not a WAV file");
    EXPECT_STREQ(GetWMADuration(folder.file("text.wav").c_str()), zero.c_str());
    // A header that states a rate of 0 or a block alignment of 0 gives 0, not a division by zero.
    std::string zeroRate = folder.file("zero-rate.wav");
    writeFile(zeroRate, riffWave({{"fmt ", littleEndian16(1) + littleEndian16(2) + littleEndian32(0) + littleEndian32(0)
                                               + littleEndian16(0) + littleEndian16(16)},
                                  {"data", std::string(4000, '\0')}}));
    EXPECT_STREQ(GetWMADuration(zeroRate.c_str()), zero.c_str());
}
