// Binding the toolkit: the table's order, the empty slot of the name the toolkit lacks, and the
// failures the recorder reports before its window exists.

#include "recorder_test_support.h"

#include "shell/recorder_application.h"
#include "shell/toolkit_binding.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <dlfcn.h>

#include <algorithm>

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
    void* library = dlopen(kToolkitLibraryName, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    // Slot i holds the library's address of name i (which names the library exports is the
    // export list's test; every entry the recorder calls is there, or binding would have failed).
    for (std::size_t index = 0; index < kToolkitEntryCount; ++index) {
        const std::string name(kToolkitEntryNames[index]);
        EXPECT_EQ(toolkitSlot(index), dlsym(library, name.c_str())) << name;
    }
    for (std::string_view name : kToolkitCalledEntries) {
        const auto position = std::find(kToolkitEntryNames.begin(), kToolkitEntryNames.end(), name);
        ASSERT_NE(position, kToolkitEntryNames.end()) << name;
        EXPECT_NE(toolkitSlot(static_cast<std::size_t>(position - kToolkitEntryNames.begin())), nullptr) << name;
    }
    EXPECT_EQ(reinterpret_cast<void*>(g_toolkit.MakeFolder), dlsym(library, "MakeFolder"));
    EXPECT_EQ(g_toolkit.ResampleWAVHQ, nullptr);
    dlclose(library);

    releaseToolkit();
    EXPECT_EQ(g_toolkit.module, nullptr);
    for (std::size_t index = 0; index < kToolkitEntryCount; ++index)
        EXPECT_EQ(toolkitSlot(index), nullptr);
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
    EXPECT_EQ(result.missingEntries.size(), 27);
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
