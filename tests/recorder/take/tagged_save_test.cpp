// Tags in the single save's conversion: MP3 and WMA files carry them (read back by ffprobe), a WAV
// file leaves them out, a toolkit without the tagged converters still saves untagged files but
// refuses tagged ones rather than dropping their tags, and a cancelled converter leaves nothing.

#include "capture_test_support.h"

#include "take/save_pass.h"

#include "core/toolkit_binding.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/media/tag_test_tools.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace wavelark {
namespace {

namespace fs = std::filesystem;
using testing::kTagCases;
using testing::kTagCaseCount;
using testing::TagCase;
using testing::tagOf;

class TaggedSaveFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureRecorderRuntime();
        testing::writeSamples(takePath, testing::samplesOf(testing::sineSamples(44100, 2, 2.0, 440.0, 0.5)));
    }
    // The whole take, through the temporary WAV: a short fade-in sends every format there.
    SaveJob job(SaveFormat format, const SorvakTags* tags) const
    {
        SaveJob saved{takePath, temporaryPath, destination(format), range, {true, 10, false, 0, false}, format,
                      SaveQuality::High};
        saved.tags = tags;
        return saved;
    }
    std::string destination(SaveFormat format) const { return folder.file(std::string("song") + saveExtension(format)); }

    testing::TemporaryFolder folder;
    std::string takePath = folder.file("recording.raw");
    std::string temporaryPath = folder.file("temp.wav");
    SaveRange range{0, 2 * 44100 * 4};
};

struct TaggedSaveRow {
    SaveFormat format;
    const char* yearTag;  // ID3v2's year reads as "date", the WMA attribute by its own name
    bool trackCount;      // whether the file states the track count ("3/12") or the number only
};

class TaggedSave : public TaggedSaveFixture,
                   public ::testing::WithParamInterface<std::tuple<TaggedSaveRow, TagCase>> {};

TEST_P(TaggedSave, TheSavedFileCarriesTheTags)
{
    const auto& [row, tagCase] = GetParam();
    const SaveResult result = saveRange(job(row.format, &tagCase.tags), nullptr, nullptr);
    ASSERT_TRUE(result.ok()) << result.message;
    const std::map<std::string, std::string> tags = testing::probedTags(destination(row.format));
    EXPECT_EQ(tagOf(tags, "title"), tagCase.title);
    EXPECT_EQ(tagOf(tags, "artist"), tagCase.artist);
    EXPECT_EQ(tagOf(tags, "album"), tagCase.album);
    EXPECT_EQ(tagOf(tags, row.yearTag), tagCase.year);
    EXPECT_EQ(tagOf(tags, "track"), row.trackCount ? tagCase.track : tagCase.track.substr(0, tagCase.track.find('/')));
    EXPECT_NEAR(testing::probedPlayingTime(destination(row.format)), 2.0, 0.1);
    EXPECT_FALSE(fs::exists(destination(row.format) + ".part"));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TaggedSave,
    ::testing::Combine(::testing::Values(TaggedSaveRow{SaveFormat::Mp3, "date", true},
                                         TaggedSaveRow{SaveFormat::Wma, "WM/Year", false}),
                       ::testing::ValuesIn(kTagCases, kTagCases + kTagCaseCount)),
    [](const ::testing::TestParamInfo<std::tuple<TaggedSaveRow, TagCase>>& info) {
        return std::string(std::get<0>(info.param).format == SaveFormat::Mp3 ? "Mp3" : "Wma")
               + std::get<1>(info.param).name;
    });

TEST_F(TaggedSaveFixture, AWavFileLeavesTheTagsOut)
{
    const SorvakTags tags{"Title", "Artist", nullptr, nullptr, 0, 0};
    const SaveResult result = saveRange(job(SaveFormat::Wav, &tags), nullptr, nullptr);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_TRUE(testing::probedTags(destination(SaveFormat::Wav)).empty());
}

// The tagged converters are optional extras of the binding: a toolkit from before them.
class WithoutTaggedConverters : public TaggedSaveFixture, public ::testing::WithParamInterface<SaveFormat> {
protected:
    void SetUp() override
    {
        TaggedSaveFixture::SetUp();
        m_bound = g_toolkitExtras;
        g_toolkitExtras.WAV2MP3Tagged = nullptr;
        g_toolkitExtras.WAV2WMATagged = nullptr;
    }
    void TearDown() override { g_toolkitExtras = m_bound; }
    ToolkitExtras m_bound;
};

TEST_P(WithoutTaggedConverters, UntaggedFilesAreSavedAndTaggedOnesRefusedNotDropped)
{
    const SaveFormat format = GetParam();
    const SorvakTags noFieldSet{nullptr, "", nullptr, nullptr, 0, 7};
    const SaveResult untagged = saveRange(job(format, &noFieldSet), nullptr, nullptr);
    ASSERT_TRUE(untagged.ok()) << untagged.message;
    const std::string earlier = testing::readFile(destination(format));

    const SorvakTags tags{"Title", nullptr, nullptr, nullptr, 0, 0};
    const SaveResult tagged = saveRange(job(format, &tags), nullptr, nullptr);
    EXPECT_EQ(tagged.failure, SaveFailure::Conversion);
    EXPECT_NE(tagged.message.find("tagged converter"), std::string::npos) << tagged.message;
    // The file saved before is kept as it was, and no side file is left.
    EXPECT_EQ(testing::readFile(destination(format)), earlier);
    EXPECT_FALSE(fs::exists(destination(format) + ".part"));
}

INSTANTIATE_TEST_SUITE_P(Formats, WithoutTaggedConverters, ::testing::Values(SaveFormat::Mp3, SaveFormat::Wma));

class CancelledConversion : public TaggedSaveFixture, public ::testing::WithParamInterface<SaveFormat> {};

// The toolkit's converters finish a cancelled file short and report success: the save says it
// was cancelled, rather than that the file is too short, and keeps nothing.
TEST_P(CancelledConversion, IsReportedAsCancelledAndLeavesNoFile)
{
    const SorvakTags tags{"Title", "Artist", "Album", "2001", 1, 1};
    testing::ProgressRecorder::reset(3);
    const SaveResult result = saveRange(job(GetParam(), &tags), nullptr, testing::ProgressRecorder::record);
    ASSERT_GE(testing::ProgressRecorder::values.size(), 3u);
    EXPECT_EQ(result.failure, SaveFailure::Conversion);
    EXPECT_NE(result.message.find("the save was cancelled"), std::string::npos) << result.message;
    EXPECT_FALSE(fs::exists(destination(GetParam())));
    EXPECT_FALSE(fs::exists(destination(GetParam()) + ".part"));
}

INSTANTIATE_TEST_SUITE_P(Formats, CancelledConversion, ::testing::Values(SaveFormat::Mp3, SaveFormat::Wma));

}
}
