// The device menus by name and the choices kept beside the settings, through the real program:
// every device the system offers listed by its name with the default one named, a device chosen
// by name found again at the next start after its number changed, and the "Record" and "Meter
// Scale" entries kept in choices.ini.

#include "capture_test_support.h"
#include "recorder_test_support.h"

#include "core/identifiers.h"
#include "core/recorder_choices.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/recorder_application.h"

#include "session/take_session.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace wavelark {
namespace {

class DeviceMenusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::SettingsBytes settings = testing::defaultSettingsBytes(m_home.musicFolder());
        settings.putInt(3144, 0);
        testing::writeFile(m_home.settingsPath(), settings.bytes);
    }
    void TearDown() override { testing::useTestDevice("test"); }

    // The texts of a submenu of Settings.
    QStringList entries(RecorderApplication& recorder, const QString& submenu)
    {
        QStringList texts;
        for (QAction* action : testing::menuTitled(recorder.mainWindow()->menuBar(), QStringLiteral("Settings"))->actions()) {
            if (testing::shownText(action->text()) == submenu && action->menu()) {
                for (QAction* entry : action->menu()->actions())
                    texts << testing::shownText(entry->text());
            }
        }
        return texts;
    }
    RecorderChoices choicesFile() const
    {
        return readRecorderChoices(QString::fromStdString((m_home.home() / kChoicesFileName).string()));
    }
    std::string settingsFile() const { return testing::readFile(m_home.settingsPath()); }

    testing::RecorderHome m_home;
    testing::ModalRecorder m_boxes;
};

TEST_F(DeviceMenusTest, TheDeviceMenusListEveryDeviceByNameAndNameTheDefaultOne)
{
    // Five inputs: more than the three numbered entries there used to be.
    testing::useTestDevice("test:inputnames=Built-in Audio|USB Audio CODEC|HDMI 1|HDMI 2|Line In;outputnames=Speakers");
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    EXPECT_EQ(entries(recorder, QStringLiteral("Record Device")),
              (QStringList{"Wave Mapper  (Built-in Audio)", "1  Built-in Audio", "2  USB Audio CODEC", "3  HDMI 1",
                           "4  HDMI 2", "5  Line In"}));
    EXPECT_EQ(entries(recorder, QStringLiteral("Playback Device")),
              (QStringList{"Wave Mapper  (Speakers)", "1  Speakers"}));
    MainMenu* menu = recorder.mainWindow()->menu();
    // The first four keep their identifiers; the fifth device on takes the reserved range.
    EXPECT_EQ(menu->action(ids::kRecordDeviceFirst + 2)->text(), QStringLiteral("2  USB Audio CODEC"));
    EXPECT_EQ(menu->action(ids::kRecordDeviceMore + 1)->text(), QStringLiteral("5  Line In"));
    EXPECT_EQ(menu->action(ids::kPlaybackDeviceFirst + 2), nullptr);
    EXPECT_TRUE(menu->action(ids::kRecordDeviceFirst)->isChecked());
    recorder.shutDown();
}

TEST_F(DeviceMenusTest, ADeviceChosenByNameIsFoundAgainWhenTheSystemNumbersItDifferently)
{
    testing::useTestDevice("test:inputnames=Built-in Audio|HDMI|Line In|Turntable USB");
    {
        RecorderApplication recorder;
        ASSERT_TRUE(recorder.startUp());
        recorder.mainWindow()->menu()->action(ids::kRecordDeviceMore)->trigger();  // "4  Turntable USB"
        EXPECT_TRUE(recorder.mainWindow()->menu()->action(ids::kRecordDeviceMore)->isChecked());
        EXPECT_FALSE(recorder.mainWindow()->menu()->action(ids::kRecordDeviceFirst)->isChecked());
        recorder.shutDown();
    }
    EXPECT_EQ(choicesFile().recordDeviceName, QStringLiteral("Turntable USB"));
    // The record holds devices 1 to 3 as it always did; beyond them the default's number, which is
    // what a program without the name opens.
    EXPECT_EQ(testing::intAt(settingsFile(), 2048), -1);

    // The next start, numbered the same: the fourth device, checked, and nothing to say.
    const std::size_t boxesBefore = m_boxes.seen().size();  // the restart notice of the choice
    {
        RecorderApplication recorder;
        ASSERT_TRUE(recorder.startUp());
        EXPECT_EQ(m_boxes.seen().size(), boxesBefore) << m_boxes.titles().join(", ").toStdString();
        EXPECT_TRUE(recorder.mainWindow()->menu()->action(ids::kRecordDeviceMore)->isChecked());
        EXPECT_FALSE(recorder.mainWindow()->menu()->action(ids::kRecordDeviceFirst)->isChecked());
        recorder.shutDown();
    }

    // Plugged in elsewhere: now the first device. The name wins; the record takes its new number.
    testing::useTestDevice("test:inputnames=Turntable USB|Built-in Audio|HDMI|Line In");
    {
        RecorderApplication recorder;
        ASSERT_TRUE(recorder.startUp());
        EXPECT_TRUE(m_boxes.titles().filter(QStringLiteral("RECORD")).isEmpty()) << m_boxes.titles().join(", ").toStdString();
        EXPECT_TRUE(recorder.mainWindow()->menu()->action(ids::kRecordDeviceFirst + 1)->isChecked());
        recorder.shutDown();
    }
    EXPECT_EQ(testing::intAt(settingsFile(), 2048), 0);

    // Unplugged: today's message at start-up, naming the entry; the record keeps its number.
    testing::useTestDevice("test:inputnames=Built-in Audio|HDMI");
    {
        RecorderApplication recorder;
        ASSERT_TRUE(recorder.startUp());
        recorder.shutDown();
    }
    const auto& seen = m_boxes.seen();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().title, QStringLiteral("RECORD"));
    EXPECT_TRUE(seen.back().text.startsWith(QStringLiteral("The record device 1 (Turntable USB) chosen ")))
        << seen.back().text.toStdString();
    EXPECT_EQ(testing::intAt(settingsFile(), 2048), 0);
    EXPECT_EQ(choicesFile().recordDeviceName, QStringLiteral("Turntable USB"));
}

TEST_F(DeviceMenusTest, RecordAndMeterScaleEntriesAreKeptInTheChoicesFile)
{
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    MainMenu* menu = recorder.mainWindow()->menu();
    EXPECT_EQ(entries(recorder, QStringLiteral("Record")),
              (QStringList{"Start on sound", "Stop at the end of the side", "Silence at the end of the side",
                           "Stop after"}));
    EXPECT_TRUE(menu->action(ids::kMeterScaleLinear)->isChecked());
    EXPECT_TRUE(menu->action(ids::kSideEndSilenceFirst + 1)->isChecked());  // 20 s
    EXPECT_TRUE(menu->action(ids::kStopAfterFirst)->isChecked());           // Off

    for (int command : {ids::kStartOnSound, ids::kStopAtSideEnd, ids::kSideEndSilenceFirst + 5, ids::kStopAfterFirst + 2,
                        ids::kMeterScaleDecibels})
        menu->action(command)->trigger();
    RecorderChoices expected;
    expected.startOnSound = true;
    expected.stopAtSideEnd = true;
    expected.sideEndSilenceSeconds = 60;
    expected.stopAfterMinutes = 30;
    expected.meterScale = MeterScale::Decibels;
    EXPECT_EQ(choicesFile(), expected);
    EXPECT_EQ(recorder.mainWindow()->session()->choices(), expected);
    EXPECT_EQ(recorder.mainWindow()->clientArea()->meters().scale(), MeterScale::Decibels);
    for (int command : {ids::kStartOnSound, ids::kStopAtSideEnd, ids::kSideEndSilenceFirst + 5, ids::kStopAfterFirst + 2,
                        ids::kMeterScaleDecibels})
        EXPECT_TRUE(menu->action(command)->isChecked()) << command;
    EXPECT_FALSE(menu->action(ids::kMeterScaleLinear)->isChecked());
    // No restart is asked for: these hold from the next Record, the scale at once.
    EXPECT_TRUE(m_boxes.seen().empty());

    menu->action(ids::kStartOnSound)->trigger();
    EXPECT_FALSE(choicesFile().startOnSound);
    recorder.shutDown();

    // The next start reads them back.
    RecorderApplication again;
    ASSERT_TRUE(again.startUp());
    EXPECT_EQ(again.mainWindow()->clientArea()->meters().scale(), MeterScale::Decibels);
    EXPECT_TRUE(again.mainWindow()->menu()->action(ids::kStopAtSideEnd)->isChecked());
    EXPECT_FALSE(again.mainWindow()->menu()->action(ids::kStartOnSound)->isChecked());
    again.shutDown();
}

}
}
