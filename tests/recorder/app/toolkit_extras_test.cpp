// The binding's optional extras: bound by name after the table from the real toolkit (and
// callable through their slots), left empty by toolkits without them without failing the
// binding, and emptied whenever the table is.

#include "core/toolkit_binding.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace wavelark {
namespace {

constexpr std::array<const char*, 4> kExtraNames = {"WAV2MP3Tagged", "WAV2WMATagged", "ExamineAudioFile", "AudioFileToWAV"};

std::array<bool, 4> extrasBound()
{
    return {g_toolkitExtras.WAV2MP3Tagged != nullptr, g_toolkitExtras.WAV2WMATagged != nullptr,
            g_toolkitExtras.ExamineAudioFile != nullptr, g_toolkitExtras.AudioFileToWAV != nullptr};
}

struct ExtrasRow {
    const char* name;
    const char* library;
    bool bindsOk;
    bool extrasBound;
};

class ToolkitExtrasTest : public ::testing::TestWithParam<ExtrasRow> {
protected:
    // The process's other tests expect the real toolkit bound, as ensureRecorderRuntime leaves it.
    void TearDown() override { bindToolkit(WAVELARK_TOOLKIT_PATH); }
};

TEST_P(ToolkitExtrasTest, ExtrasAreBoundWhenTheLibraryHasThemAndNeverFailTheBinding)
{
    const ExtrasRow row = GetParam();
    // Bound to the real toolkit first: a library without the extras must not inherit its slots.
    ASSERT_TRUE(bindToolkit(WAVELARK_TOOLKIT_PATH).ok());
    const ToolkitBindResult result = bindToolkit(row.library);
    ASSERT_TRUE(result.loaded) << result.loadError.toStdString();
    EXPECT_EQ(result.ok(), row.bindsOk) << result.missingEntries.join(',').toStdString();
    for (const char* name : kExtraNames)
        EXPECT_FALSE(result.missingEntries.contains(QString::fromLatin1(name))) << name << " is optional";
    const std::array<bool, 4> bound = extrasBound();
    for (std::size_t index = 0; index < bound.size(); ++index)
        EXPECT_EQ(bound[index], row.extrasBound) << kExtraNames[index];
    if (row.extrasBound) {
        // The slot calls the export of its own name: a missing file is reported as unreadable.
        SorvakAudioFileReport report{};
        EXPECT_EQ(g_toolkitExtras.ExamineAudioFile("/nonexistent/wavelark-extras-test.wav", &report),
                  SORVAK_AUDIO_FILE_UNREADABLE);
        EXPECT_EQ(report.verdict, SORVAK_AUDIO_FILE_UNREADABLE);
    }
    releaseToolkit();
    EXPECT_EQ(extrasBound(), (std::array<bool, 4>{}));
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, ToolkitExtrasTest,
    ::testing::Values(ExtrasRow{"RealToolkit", WAVELARK_TOOLKIT_PATH, true, true},
                      ExtrasRow{"ToolkitFromBeforeTheExtras", WAVELARK_OLDER_TOOLKIT, true, false},
                      ExtrasRow{"ToolkitLackingCalledEntries", WAVELARK_FAKE_TOOLKIT, false, false}),
    [](const ::testing::TestParamInfo<ExtrasRow>& info) { return std::string(info.param.name); });

}
}
