// The take's session with the choices beside the settings: a device chosen by name found again
// after the system numbered its devices differently, or reported when it is gone; a take armed
// to start on sound saying so; "Stop after" ending the take as Stop does.

#include "session_on_fake_display.h"

#include "core/recorder_choices.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace wavelark {
namespace {

class UnattendedSessionTest : public testing::SessionOnFakeDisplay {
protected:
    void writeChoices(const RecorderChoices& choices)
    {
        ASSERT_EQ(writeRecorderChoices(m_state.paths.folder + QLatin1String(kChoicesFileName), choices), QString());
    }
    std::size_t takeFrames() const { return std::filesystem::file_size(folder() / "recording.raw") / 4; }
};

TEST_F(UnattendedSessionTest, ADeviceChosenByNameIsFoundAgainAfterItsNumberChangesAndReportedWhenGone)
{
    RecorderChoices choices;
    choices.recordDeviceName = QStringLiteral("USB Audio CODEC");
    choices.playbackDeviceName = QStringLiteral("HDMI Output");
    writeChoices(choices);
    // Chosen as the second device of each list.
    m_state.settings.recordDevice = 1;
    m_state.settings.playbackDevice = 1;
    const struct Case {
        const char* name;
        const char* devices;
        int32_t recordDevice;    // the record's number after the start
        int32_t playbackDevice;
        std::size_t warnings;
    } cases[] = {
        {"AsChosen", "test:input=sine;inputnames=Built-in Audio|USB Audio CODEC;outputnames=Speakers|HDMI Output", 1, 1,
         0},
        {"NumberedTheOtherWay", "test:input=sine;inputnames=USB Audio CODEC|Built-in Audio;outputnames=HDMI Output|Speakers",
         0, 0, 0},
        // Gone: today's message naming the entry, the default device serves, the record keeps the number.
        {"Unplugged", "test:input=sine;inputnames=Built-in Audio;outputnames=Speakers", 0, 0, 2},
    };
    for (const Case& c : cases) {
        testing::useTestDevice(c.devices);
        m_display.messages.clear();
        start();
        EXPECT_EQ(m_state.settings.recordDevice, c.recordDevice) << c.name;
        EXPECT_EQ(m_state.settings.playbackDevice, c.playbackDevice) << c.name;
        ASSERT_EQ(m_display.shown().size(), c.warnings) << c.name;
        if (c.warnings == 0)
            continue;
        EXPECT_TRUE(m_display.shown()[0].text.startsWith(QStringLiteral("The record device 1 (USB Audio CODEC) chosen ")))
            << m_display.shown()[0].text.toStdString();
        EXPECT_TRUE(m_display.shown()[1].text.startsWith(QStringLiteral("The playback device 1 (HDMI Output) chosen ")))
            << m_display.shown()[1].text.toStdString();
    }
}

TEST_F(UnattendedSessionTest, TheHealthBarNamesTheRecordDeviceAndItsRate)
{
    RecorderChoices choices;
    choices.recordDeviceName = QStringLiteral("USB Audio CODEC");
    writeChoices(choices);
    testing::useTestDevice("test:input=sine,1000,-6;inputnames=USB Audio CODEC|Built-in Audio");
    m_state.settings.recordDevice = 1;
    start();
    m_session->recordCommand();
    ASSERT_TRUE(testing::pumpUntil([&] { return m_session->engine().elapsedSeconds() >= 1.1; }));
    m_session->timerTick(1);
    EXPECT_TRUE(m_display.health.text.endsWith(QStringLiteral("   USB Audio CODEC, 44.1 kHz")))
        << m_display.health.text.toStdString();
    EXPECT_TRUE(m_display.health.text.contains(QStringLiteral("Peak -6.0 dBFS"))) << m_display.health.text.toStdString();
    m_session->recordCommand();
}

TEST_F(UnattendedSessionTest, StartOnSoundWaitsSayingSoAndStopEndsTheWaitingTake)
{
    RecorderChoices choices;
    choices.startOnSound = true;
    writeChoices(choices);
    testing::useTestDevice("test:input=silence;pace=fast");
    start();
    m_session->recordCommand();
    ASSERT_TRUE(m_session->takeInProgress());
    EXPECT_TRUE(m_session->engine().waitingForSound());
    EXPECT_EQ(m_display.status, QString::fromLatin1(kWaitingForSoundText));
    EXPECT_EQ(m_display.recordButton, QStringLiteral("Stop"));
    // Silence goes on passing through the pre-roll; the status line still waits.
    testing::pumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(m_display.status, QString::fromLatin1(kWaitingForSoundText));
    m_session->recordCommand();
    EXPECT_FALSE(m_session->takeInProgress());
    EXPECT_EQ(m_session->phase(), SessionPhase::Idle);
    EXPECT_EQ(m_display.recordButton, QStringLiteral("Record"));
}

TEST_F(UnattendedSessionTest, StopAfterEndsTheTakeAsStopDoes)
{
    RecorderChoices choices;
    choices.stopAfterMinutes = 1;
    writeChoices(choices);
    testing::useTestDevice("test:input=sine,1000,-6;pace=fast");
    start();
    m_session->recordCommand();
    ASSERT_TRUE(m_session->takeInProgress());
    ASSERT_TRUE(testing::pumpUntil([&] { return !m_session->takeInProgress(); }, std::chrono::seconds(60)));
    // The stop processing ran: the take maximised and drawn, its summary shown, the duration.
    EXPECT_GE(takeFrames(), 60u * 44100);
    EXPECT_EQ(m_session->phase(), SessionPhase::Idle);
    EXPECT_EQ(m_display.recordButton, QStringLiteral("Record"));
    EXPECT_TRUE(m_display.healthShown);
    EXPECT_TRUE(m_display.health.text.startsWith(QStringLiteral("The take came through clean")))
        << m_display.health.text.toStdString();
    EXPECT_TRUE(m_display.status.startsWith(QStringLiteral(" Duration : 1:0"))) << m_display.status.toStdString();
    EXPECT_TRUE(std::filesystem::exists(folder() / "wd.dat"));
    EXPECT_FALSE(std::filesystem::exists(folder() / "recording.mark"));
}

}
}
