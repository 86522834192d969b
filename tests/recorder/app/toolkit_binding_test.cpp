// Binding the toolkit: the table's order, the empty slot of the name the toolkit lacks, the
// entries binding demands against the calls in the recorder's code, and the failures the
// recorder reports before its window exists.

#include "recorder_test_support.h"

#include "app/recorder_application.h"
#include "core/toolkit_binding.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

namespace wavelark {
namespace {

TEST(ToolkitBinding, TableHoldsTheFiftySevenNamesInLookupOrder)
{
    ASSERT_EQ(kToolkitEntryNames.size(), 57u);
    EXPECT_EQ(kToolkitEntryNames.front(), "GetOpenFilenames");
    EXPECT_EQ(kToolkitEntryNames[1], "LBDeleteSelected");
    EXPECT_EQ(kToolkitEntryNames[52], "ResampleWAVHQ");
    EXPECT_EQ(kToolkitEntryNames.back(), "GetWMADuration");

    const ToolkitBindResult result = bindToolkit();
    ASSERT_TRUE(result.ok()) << result.loadError.toStdString() << result.missingEntries.join(',').toStdString();
    EXPECT_NE(g_toolkit.MakeFolder, nullptr);
    // The toolkit has no ResampleWAVHQ: its slot stays empty and binding still succeeds.
    EXPECT_EQ(g_toolkit.ResampleWAVHQ, nullptr);
    releaseToolkit();
    EXPECT_EQ(g_toolkit.module, nullptr);
    for (std::size_t index = 0; index < kToolkitEntryCount; ++index)
        EXPECT_EQ(toolkitSlot(index), nullptr);
}

// What can drift is the list of entries binding demands: every entry the recorder's code calls
// through the table must be on it, or a toolkit lacking that entry would bind and the call would
// jump through an empty slot.
TEST(ToolkitBinding, EveryEntryTheRecorderCallsIsDemandedByBinding)
{
    const std::regex call(R"(g_toolkit\.([A-Za-z0-9_]+)\s*\()");
    std::set<std::string> called;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(WAVELARK_RECORDER_SOURCES)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".cpp" && extension != ".h")
            continue;
        std::ifstream file(entry.path());
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        for (std::sregex_iterator match(text.begin(), text.end(), call), end; match != end; ++match)
            called.insert((*match)[1].str());
    }
    ASSERT_GT(called.size(), 10u) << "the scan found too few calls to be looking at the recorder's code";
    for (const std::string& name : called) {
        EXPECT_NE(std::find(kToolkitCalledEntries.begin(), kToolkitCalledEntries.end(), name), kToolkitCalledEntries.end())
            << name << " is called but binding does not demand it";
    }
}

TEST(ToolkitBinding, MissingLibraryIsReportedWithTheLoadersMessage)
{
    const ToolkitBindResult result = bindToolkit("libwavelark-no-such-toolkit.so");
    EXPECT_FALSE(result.loaded);
    EXPECT_TRUE(result.loadError.contains(QStringLiteral("libwavelark-no-such-toolkit.so")));
    EXPECT_EQ(g_toolkit.module, nullptr);
}

TEST(ToolkitBinding, LibraryLackingCalledEntriesNamesThemAndLeavesTheTableEmpty)
{
    const ToolkitBindResult result = bindToolkit(WAVELARK_FAKE_TOOLKIT);
    ASSERT_TRUE(result.loaded);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.missingEntries.size(), 28);
    EXPECT_TRUE(result.missingEntries.contains(QStringLiteral("CreateWaveOut")));
    EXPECT_FALSE(result.missingEntries.contains(QStringLiteral("MakeFolder")));
    // Names the recorder never calls are not demanded.
    EXPECT_FALSE(result.missingEntries.contains(QStringLiteral("ResampleWAVHQ")));
    EXPECT_FALSE(result.missingEntries.contains(QStringLiteral("SineWave")));
    EXPECT_EQ(g_toolkit.module, nullptr);
    EXPECT_EQ(g_toolkit.MakeFolder, nullptr);
}

TEST(ToolkitBinding, StartUpWithoutTheToolkitSaysSoAndCreatesNoWindowAndNoFile)
{
    testing::ensureApplication();
    testing::RecorderHome home;
    testing::ModalRecorder boxes;
    RecorderApplication recorder("libwavelark-no-such-toolkit.so");
    EXPECT_FALSE(recorder.startUp());
    EXPECT_EQ(recorder.mainWindow(), nullptr);
    recorder.shutDown();
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].title, QStringLiteral("ERROR"));
    EXPECT_TRUE(boxes.seen()[0].text.contains(QStringLiteral("libwavelark-no-such-toolkit.so")));
    EXPECT_FALSE(std::filesystem::exists(home.settingsPath()));
}

TEST(ToolkitBinding, StartUpWithAnIncompleteToolkitNamesTheMissingFunctions)
{
    testing::ensureApplication();
    testing::RecorderHome home;
    testing::ModalRecorder boxes;
    RecorderApplication recorder(WAVELARK_FAKE_TOOLKIT);
    EXPECT_FALSE(recorder.startUp());
    EXPECT_EQ(recorder.mainWindow(), nullptr);
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_TRUE(boxes.seen()[0].text.contains(QStringLiteral("CreateWaveOut")));
    EXPECT_FALSE(std::filesystem::exists(home.settingsPath()));
}

}
}
