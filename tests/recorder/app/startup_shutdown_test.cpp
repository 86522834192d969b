// Start-up and shutdown of the real program in-process: the settings file it creates, reads and
// writes back, the welcome dialog, the latency, buffer and device menus and the mixer entries.

#include "capture_test_support.h"
#include "recorder_test_support.h"

#include "core/identifiers.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/recorder_application.h"
#include "app/signal_closer.h"

#include "sorvak_widgets.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <csignal>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QTest>

#include <array>
#include <fstream>

namespace wavelark {
namespace {

const QString kWelcomeTitle = QStringLiteral("Wavelark 2.0 - Welcome!");

class RecorderStartUp : public ::testing::Test {
protected:
    void SetUp() override { testing::ensureApplication(); }
    void TearDown() override { testing::useTestDevice("test"); }

    // Settings with the defaults but no welcome dialog.
    void writeQuietSettings()
    {
        testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
        settings.putInt(3144, 0);
        testing::writeFile(m_home.settingsPath(), settings.bytes);
    }
    std::string settingsFile() const { return testing::readFile(m_home.settingsPath()); }
    // Runs a menu command and returns the titles of the boxes it showed.
    QStringList runMenuCommand(RecorderApplication& recorder, int commandId)
    {
        const std::size_t before = m_boxes.seen().size();
        QAction* action = recorder.mainWindow()->menu()->action(commandId);
        EXPECT_NE(action, nullptr) << commandId;
        if (action)
            action->trigger();
        QStringList titles;
        for (std::size_t index = before; index < m_boxes.seen().size(); ++index)
            titles << m_boxes.seen()[index].title;
        return titles;
    }

    testing::RecorderHome m_home;
    testing::ModalRecorder m_boxes;
};

TEST_F(RecorderStartUp, FirstStartWritesTheDefaultSettingsAndShowsTheWelcomeDialog)
{
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    const std::string written = settingsFile();
    EXPECT_EQ(written.size(), 3148u);
    EXPECT_EQ(written, testing::defaultSettingsBytes(m_home.musicFolder()).bytes);
    EXPECT_TRUE(std::filesystem::is_directory(m_home.musicFolder()));
    EXPECT_EQ(m_boxes.titles(), QStringList{kWelcomeTitle});
    ASSERT_NE(recorder.mainWindow(), nullptr);
    EXPECT_TRUE(recorder.mainWindow()->isVisible());
    EXPECT_EQ(recorder.mainWindow()->windowTitle(), QStringLiteral("Wavelark 2.0"));
    recorder.shutDown();
    // Closing the welcome dialog without the box checked keeps it for the next start.
    EXPECT_EQ(testing::intAt(settingsFile(), 3144), 1);
}

TEST_F(RecorderStartUp, DontShowMeThisAgainSkipsTheWelcomeDialogNextTime)
{
    m_boxes.onTitle(kWelcomeTitle, [](QWidget* welcome) {
        static_cast<QCheckBox*>(sorvak::findControl(welcome, ids::kWelcomeDontShow))->setChecked(true);
        static_cast<QAbstractButton*>(sorvak::findControl(welcome, ids::kWelcomeStart))->click();
    });
    {
        RecorderApplication recorder;
        ASSERT_TRUE(recorder.startUp());
        recorder.shutDown();
    }
    EXPECT_EQ(m_boxes.titles(), QStringList{kWelcomeTitle});
    EXPECT_EQ(testing::intAt(settingsFile(), 3144), 0);

    RecorderApplication again;
    ASSERT_TRUE(again.startUp());
    EXPECT_NE(again.mainWindow(), nullptr);
    again.shutDown();
    EXPECT_EQ(m_boxes.titles(), QStringList{kWelcomeTitle});
}

struct PendingCase {
    const char* name;
    int command;
    std::size_t offset;
    int32_t written;
};

class PendingChoice : public RecorderStartUp, public ::testing::WithParamInterface<PendingCase> {};

TEST_P(PendingChoice, TakesEffectOnlyInTheFileWrittenAtExit)
{
    const PendingCase& c = GetParam();
    // Three devices each way: the menus list the devices the system offers.
    testing::useTestDevice("test:inputs=3;outputs=3");
    writeQuietSettings();
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    EXPECT_EQ(runMenuCommand(recorder, c.command), QStringList{QStringLiteral("Changes Require Restart")});
    EXPECT_EQ(m_boxes.seen().back().text,
              QStringLiteral("The changes you have made will not take\neffect until you restart the program."));
    EXPECT_TRUE(recorder.mainWindow()->menu()->action(c.command)->isChecked());
    // The running program keeps its buffers until it restarts.
    EXPECT_EQ(recorder.state().settings.bufferSize, 8192u);
    EXPECT_EQ(recorder.state().settings.bufferCount, 8u);
    recorder.shutDown();
    const std::string written = settingsFile();
    ASSERT_EQ(written.size(), 3148u);
    EXPECT_EQ(testing::intAt(written, c.offset), c.written);
}

INSTANTIATE_TEST_SUITE_P(Menus, PendingChoice,
                         ::testing::Values(PendingCase{"LatencySlow", 344, 2052, 16384},
                                           PendingCase{"LatencyRealtime", 340, 2052, 2048},
                                           PendingCase{"BuffersSixteen", 353, 2056, 16},
                                           PendingCase{"BuffersTwo", 350, 2056, 2},
                                           PendingCase{"LatencyAlreadyChecked", 343, 2052, 8192},
                                           PendingCase{"RecordDeviceTwo", 40045, 2048, 1},
                                           PendingCase{"PlaybackDeviceWaveMapper", 40048, 3140, -1},
                                           PendingCase{"PlaybackDeviceThree", 40051, 3140, 2}),
                         [](const ::testing::TestParamInfo<PendingCase>& info) { return std::string(info.param.name); });

TEST_F(RecorderStartUp, CheckMarksFollowTheStoredValuesAtStart)
{
    testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
    settings.putInt(3144, 0);
    settings.putInt(2052, 2048);
    settings.putInt(2056, 4);
    settings.putInt(2048, 2);
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    testing::useTestDevice("test:inputs=3;outputs=3");
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    MainMenu* menu = recorder.mainWindow()->menu();
    for (int command : {340, 351, 40046, 40048})
        EXPECT_TRUE(menu->action(command)->isChecked()) << command;
    for (int command : {343, 352, 40043, 40051})
        EXPECT_FALSE(menu->action(command)->isChecked()) << command;
    recorder.shutDown();
}

QStringList settingsMenuTexts(MainWindow* window)
{
    QStringList texts;
    for (QAction* action : testing::menuTitled(window->menuBar(), QStringLiteral("Settings"))->actions())
        texts << testing::shownText(action->text());
    return texts;
}

TEST_F(RecorderStartUp, WithoutPavucontrolThereAreNoMixerEntries)
{
    writeQuietSettings();
    setenv("PATH", m_home.folder().path().c_str(), 1);
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    EXPECT_EQ(recorder.mainWindow()->menu()->action(ids::kMixerRecord), nullptr);
    EXPECT_EQ(recorder.mainWindow()->menu()->action(ids::kMixerPlayback), nullptr);
    EXPECT_EQ(settingsMenuTexts(recorder.mainWindow()),
              (QStringList{"Record Device", "Playback Device", "Latency", "Buffers", "Record", "Meter Scale"}));
    recorder.shutDown();
}

TEST_F(RecorderStartUp, MixerRecordOpensPavucontrolAtTheInputDevices)
{
    writeQuietSettings();
    const std::filesystem::path bin = m_home.folder().path() / "bin";
    const std::filesystem::path arguments = m_home.folder().path() / "arguments";
    std::filesystem::create_directories(bin);
    testing::writeFile(bin / "pavucontrol", "#!/bin/sh\necho \"$@\" > '" + arguments.string() + ".part'\nmv '"
                                                + arguments.string() + ".part' '" + arguments.string() + "'\n");
    std::filesystem::permissions(bin / "pavucontrol", std::filesystem::perms::owner_all);
    setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    EXPECT_TRUE(settingsMenuTexts(recorder.mainWindow()).contains(QStringLiteral("Mixer Playback")));
    recorder.mainWindow()->menu()->action(ids::kMixerRecord)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(arguments); }, 5000));
    EXPECT_EQ(testing::readFile(arguments), "-t 4\n");
    std::filesystem::remove(arguments);
    recorder.mainWindow()->menu()->action(ids::kMixerPlayback)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(arguments); }, 5000));
    EXPECT_EQ(testing::readFile(arguments), "-t 3\n");
    recorder.shutDown();
}

// A file cut short (by a crash, a full disk or anything else) must not switch recording and
// playback off or empty the archive folder: the fields it lacks take their defaults.
TEST_F(RecorderStartUp, ShortSettingsFileTakesTheDefaultsForTheFieldsItLacks)
{
    const testing::SettingsBytes defaults = testing::defaultSettingsBytes(m_home.musicFolder());
    testing::SettingsBytes settings = defaults;
    settings.putInt(2060, 40);
    settings.putInt(3140, 1);
    for (const std::size_t length : {std::size_t{3000}, std::size_t{0}}) {
        testing::writeFile(m_home.settingsPath(), settings.bytes.substr(0, length));
        RecorderApplication recorder;
        ASSERT_TRUE(recorder.startUp());
        const Settings& read = recorder.state().settings;
        EXPECT_EQ(read.recordSlider, length > 2060 ? 40 : 0);
        EXPECT_EQ(read.recordEnabled, 1);
        EXPECT_EQ(read.playEnabled, 1);
        EXPECT_EQ(read.playbackDevice, -1);
        EXPECT_EQ(read.fadeStartLength, 100u);
        EXPECT_EQ(std::string(read.archiveFolder), m_home.musicFolder());
        recorder.shutDown();
        const std::string written = settingsFile();
        ASSERT_EQ(written.size(), 3148u);
        EXPECT_EQ(written.substr(3000), defaults.bytes.substr(3000)) << "from " << length << " bytes";
    }
}

TEST_F(RecorderStartUp, SettingsFileThatIsAFolderIsReportedAndKept)
{
    std::filesystem::create_directories(m_home.settingsPath());
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    EXPECT_EQ(recorder.state().settings.recordEnabled, 1);
    recorder.shutDown();
    QStringList texts;
    for (const auto& box : m_boxes.seen())
        texts << box.text;
    EXPECT_EQ(texts.filter(QStringLiteral("cannot be read")).size(), 1) << texts.join('|').toStdString();
    EXPECT_EQ(texts.filter(QStringLiteral("cannot be written")).size(), 1);
    EXPECT_TRUE(std::filesystem::is_directory(m_home.settingsPath()));
}

// A SIGTERM that comes while the main window is being built (its waveform is drawn with the
// event loop running) closes the program in order once the window exists.
TEST_F(RecorderStartUp, SigtermWhileTheWindowIsBuiltClosesInOrder)
{
    testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
    settings.putInt(3144, 0);
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    // A take without its peak cache: the window rebuilds the waveform while it is made.
    testing::writeFile(m_home.home() / "recording.raw", std::string(3 * 1048576, '\x10'));
    RecorderApplication recorder;
    SignalCloser closer([&recorder] { recorder.requestClose(); });
    ASSERT_TRUE(closer.installed());
    QTimer::singleShot(0, [] { ::raise(SIGTERM); });
    ASSERT_TRUE(recorder.startUp());
    EXPECT_EQ(recorder.mainWindow(), nullptr);
    std::filesystem::remove(m_home.settingsPath());
    recorder.shutDown();
    EXPECT_EQ(settingsFile(), settings.bytes);
}

class RandomSettings : public RecorderStartUp, public ::testing::WithParamInterface<int> {};

TEST_P(RandomSettings, StartCleanlyWithEveryFieldInRange)
{
    QRandomGenerator random(static_cast<quint32>(GetParam()));
    std::string bytes(3148, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    testing::writeFile(m_home.settingsPath(), bytes);
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    ASSERT_NE(recorder.mainWindow(), nullptr);
    const Settings& settings = recorder.state().settings;
    EXPECT_EQ(QString::fromUtf8(settings.archiveFolder).toStdString(), m_home.musicFolder());
    recorder.mainWindow()->close();
    recorder.shutDown();

    const std::string written = settingsFile();
    ASSERT_EQ(written.size(), 3148u);
    const std::array<int32_t, 6> sizes = {2048, 4096, 6144, 8192, 16384, 32768};
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), testing::intAt(written, 2052)), sizes.end());
    EXPECT_GE(testing::intAt(written, 2056), 2);
    EXPECT_LE(testing::intAt(written, 2056), 16);
    for (std::size_t device : {2048u, 3140u}) {
        EXPECT_GE(testing::intAt(written, device), -1);
        EXPECT_LE(testing::intAt(written, device), 2);
    }
    for (std::size_t slider : {2060u, 2064u}) {
        EXPECT_GE(testing::intAt(written, slider), 0);
        EXPECT_LE(testing::intAt(written, slider), 100);
    }
    for (std::size_t edge : {2072u, 2076u})
        EXPECT_LE(static_cast<uint32_t>(testing::intAt(written, edge)), 555u);
    EXPECT_NE(written.find('\0', 2088), std::string::npos);
    EXPECT_LT(written.find('\0', 2088), 3112u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomSettings, ::testing::Values(1, 2, 3));

TEST_F(RecorderStartUp, ArchiveFolderThatWentMissingIsCreatedAgain)
{
    const std::string archive = (m_home.folder().path() / "records").string() + "/";
    testing::SettingsBytes settings = testing::defaultSettingsBytes(archive);
    settings.putInt(3144, 0);
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    EXPECT_TRUE(std::filesystem::is_directory(archive));
    EXPECT_STREQ(recorder.state().settings.archiveFolder, archive.c_str());
    recorder.shutDown();
}

TEST_F(RecorderStartUp, ArchiveFolderThatCannotBeMadeGivesWayToTheMusicFolder)
{
    const std::filesystem::path missing = m_home.folder().path() / "gone";
    testing::SettingsBytes settings = testing::defaultSettingsBytes((missing / "deeper").string() + "/");
    settings.putInt(3144, 0);
    testing::writeFile(m_home.settingsPath(), settings.bytes);
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    EXPECT_EQ(std::string(recorder.state().settings.archiveFolder), m_home.musicFolder());
    EXPECT_FALSE(std::filesystem::exists(missing));
    ASSERT_EQ(m_boxes.seen().size(), 1u);
    EXPECT_TRUE(m_boxes.seen()[0].text.contains(QStringLiteral("is not available")));
    recorder.shutDown();
    // A drive that is not mounted today is not forgotten: the stored folder is written back.
    EXPECT_EQ(testing::SettingsBytes{settingsFile()}.textAt(0), (missing / "deeper").string() + "/");
}

}
}
