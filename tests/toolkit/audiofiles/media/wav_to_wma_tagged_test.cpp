// WAV2WMATagged: the attributes read back by ffprobe and by the toolkit's own GetWMAInfo, the
// audio and duration unchanged, and null tags giving the untagged file.

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/media/tag_test_tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace wavelark::testing;

namespace {

// One wmav2 frame at 44100 Hz, in seconds.
constexpr double kFrameSeconds = 2048.0 / 44100.0;

// The track as a WMA file holds it: the number without the count.
std::string trackNumberOnly(const std::string& track)
{
    return track.substr(0, track.find('/'));
}

std::string attribute(const std::string& path, const char* name)
{
    const char* value = GetWMAInfo(path.c_str(), name);
    return value ? value : "";
}

// The tag names ffprobe reports beside the encoder's own.
std::vector<std::string> tagNamesBesideEncoder(const std::map<std::string, std::string>& tags)
{
    std::vector<std::string> names;
    for (const auto& [name, value] : tags) {
        if (name != "encoder" && name != "WM/EncodingSettings")
            names.push_back(name);
    }
    return names;
}

class Wav2WmaTagged : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgressRecorder::reset();
        source = folder.file("take.wav");
        destination = folder.file("song.wma");
        writeFile(source, sineWav(44100, 2, 2.0, 1000.0, 0.5));
    }

    TemporaryFolder folder;
    std::string source;
    std::string destination;
};

class Wav2WmaTagCase : public Wav2WmaTagged, public ::testing::WithParamInterface<TagCase> {};

}

TEST_P(Wav2WmaTagCase, AttributesReadBackAndTheDurationStaysRight)
{
    const TagCase& tagCase = GetParam();
    ASSERT_EQ(WAV2WMATagged(source.c_str(), destination.c_str(), 128, &tagCase.tags, nullptr), 0);

    std::map<std::string, std::string> tags = probedTags(destination);
    EXPECT_EQ(tagOf(tags, "title"), tagCase.title);
    EXPECT_EQ(tagOf(tags, "artist"), tagCase.artist);
    EXPECT_EQ(tagOf(tags, "album"), tagCase.album);
    EXPECT_EQ(tagOf(tags, "WM/Year"), tagCase.year);
    EXPECT_EQ(tagOf(tags, "track"), trackNumberOnly(tagCase.track));

    EXPECT_EQ(attribute(destination, "Title"), tagCase.title);
    EXPECT_EQ(attribute(destination, "Author"), tagCase.artist);
    EXPECT_EQ(attribute(destination, "WM/AlbumTitle"), tagCase.album);
    EXPECT_EQ(attribute(destination, "WM/Year"), tagCase.year);
    EXPECT_EQ(attribute(destination, "WM/TrackNumber"), trackNumberOnly(tagCase.track));

    EXPECT_NEAR(probedPlayingTime(destination), 2.0, kFrameSeconds);
}

INSTANTIATE_TEST_SUITE_P(TagSets, Wav2WmaTagCase, ::testing::ValuesIn(kTagCases, kTagCases + kTagCaseCount),
                         [](const ::testing::TestParamInfo<TagCase>& info) { return std::string(info.param.name); });

TEST_F(Wav2WmaTagged, NullTagsGiveTheUntaggedAudioAndNoAttributes)
{
    std::string untaggedPath = folder.file("untagged.wma");
    ASSERT_EQ(WAV2WMA(source.c_str(), untaggedPath.c_str(), 128, nullptr), 0);
    ASSERT_EQ(WAV2WMATagged(source.c_str(), destination.c_str(), 128, nullptr, nullptr), 0);
    std::vector<int16_t> untagged = decodeWithFfmpeg(untaggedPath);
    ASSERT_FALSE(untagged.empty());
    EXPECT_TRUE(decodeWithFfmpeg(destination) == untagged);
    EXPECT_EQ(tagNamesBesideEncoder(probedTags(destination)), std::vector<std::string>());
}

TEST_F(Wav2WmaTagged, TagsLeaveTheAudioAsTheUntaggedExportWritesIt)
{
    const SorvakTags tags {"Song", "The Band", "Live", "1979", 3, 12};
    std::string untaggedPath = folder.file("untagged.wma");
    ASSERT_EQ(WAV2WMA(source.c_str(), untaggedPath.c_str(), 64, ProgressRecorder::record), 0);
    std::vector<int> untaggedProgress = ProgressRecorder::values;
    ProgressRecorder::reset();
    ASSERT_EQ(WAV2WMATagged(source.c_str(), destination.c_str(), 64, &tags, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values, untaggedProgress);
    EXPECT_EQ(probeEntry(destination, "stream", "bit_rate"), probeEntry(untaggedPath, "stream", "bit_rate"));
    EXPECT_TRUE(decodeWithFfmpeg(destination) == decodeWithFfmpeg(untaggedPath));
}

TEST_F(Wav2WmaTagged, TitleOfAThousandCharactersReadsBackWhole)
{
    std::string title;
    for (int index = 0; index < 500; ++index)
        title += index % 2 ? "東" : "k";
    title += std::string(500, 'x');
    const SorvakTags tags {title.c_str(), "Artist", nullptr, nullptr, 1, 1};
    ASSERT_EQ(WAV2WMATagged(source.c_str(), destination.c_str(), 128, &tags, nullptr), 0);
    std::map<std::string, std::string> probed = probedTags(destination);
    EXPECT_EQ(tagOf(probed, "title"), title);
    EXPECT_EQ(tagOf(probed, "artist"), "Artist");
    EXPECT_EQ(attribute(destination, "Title"), title);
    EXPECT_NEAR(probedPlayingTime(destination), 2.0, kFrameSeconds);
}

TEST_F(Wav2WmaTagged, CancelAtTheFirstProgressCallLeavesAValidTaggedFile)
{
    ProgressRecorder::cancelAtCall = 1;
    const SorvakTags tags {"Cut Short", "The Band", "Live", "1979", 3, 12};
    ASSERT_EQ(WAV2WMATagged(source.c_str(), destination.c_str(), 128, &tags, ProgressRecorder::record), 0);
    EXPECT_EQ(ProgressRecorder::values.size(), 1u);
    std::map<std::string, std::string> probed = probedTags(destination);
    EXPECT_EQ(tagOf(probed, "title"), "Cut Short");
    EXPECT_EQ(tagOf(probed, "track"), "3");
    EXPECT_EQ(probeEntry(destination, "stream", "codec_name"), "wmav2");
    EXPECT_EQ(errorOutput("ffmpeg -v error -i " + shellQuoted(destination) + " -f null -"), "");
}

TEST_F(Wav2WmaTagged, FailuresAreThoseOfTheUntaggedExport)
{
    const SorvakTags tags {"Song", nullptr, nullptr, nullptr, 0, 0};
    std::string missing = folder.file("missing.wav");
    EXPECT_EQ(WAV2WMATagged(missing.c_str(), destination.c_str(), 128, &tags, nullptr), -1);
    EXPECT_FALSE(std::filesystem::exists(destination));
    std::string unwritable = folder.file("no-such-folder/song.wma");
    EXPECT_EQ(WAV2WMATagged(source.c_str(), unwritable.c_str(), 128, &tags, nullptr), -1);
}
