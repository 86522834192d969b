// The meters in the real window: full-scale input lights a clip lamp, which stays lit until the
// user clicks it; the scale chosen in choices.ini is the one painted at start-up.

#include "capture_test_support.h"
#include "recorder_test_support.h"

#include "core/recorder_choices.h"
#include "app/main_window.h"
#include "app/recorder_application.h"

#include "session/take_session.h"

#include "widgets/level_meters.h"

#include <gtest/gtest.h>

#include <QTest>

namespace wavelark {
namespace {

TEST(MeterWindow, FullScaleInputLightsTheClipLampUntilItIsClicked)
{
    testing::RecorderHome home;
    testing::ModalRecorder boxes;
    testing::SettingsBytes settings = testing::defaultSettingsBytes(home.musicFolder());
    settings.putInt(3144, 0);
    testing::writeFile(home.settingsPath(), settings.bytes);
    RecorderChoices choices;
    choices.meterScale = MeterScale::Decibels;
    ASSERT_EQ(writeRecorderChoices(QString::fromStdString((home.home() / kChoicesFileName).string()), choices), QString());
    // A full-scale sine at a quarter of the rate: every fourth sample at 32767, not recording.
    testing::useTestDevice("test:input=sine,11025,0");
    RecorderApplication recorder;
    ASSERT_TRUE(recorder.startUp());
    ClientArea* client = recorder.mainWindow()->clientArea();
    EXPECT_EQ(client->meters().scale(), MeterScale::Decibels);
    const LevelPeaks& levels = recorder.mainWindow()->session()->levels();
    const auto reading = [&] {
        return MeterLevels{levels.left(), levels.right(), levels.clippedLeft(), levels.clippedRight()};
    };
    ASSERT_TRUE(testing::pumpUntil([&] { return client->meters().clipLampLit(0, reading()); }));
    EXPECT_TRUE(client->meters().clipLampLit(1, reading()));

    // The input made silent: once the meters have fallen to rest, no clipped buffer is on its way.
    recorder.mainWindow()->session()->setRecordEnabled(false);
    ASSERT_TRUE(testing::pumpUntil([&] { return levels.left() <= 0.0 && levels.right() <= 0.0; }));
    EXPECT_TRUE(client->meters().clipLampLit(0, reading()));  // still lit: nobody clicked it
    // A click beside the lamp changes nothing; on it, the lamp goes out. The other stays lit.
    QTest::mouseClick(client, Qt::LeftButton, {}, clipLampRect(kLeftMeterX).bottomLeft() + QPoint(0, 4));
    EXPECT_TRUE(client->meters().clipLampLit(0, reading()));
    QTest::mouseClick(client, Qt::LeftButton, {}, clipLampRect(kLeftMeterX).center());
    EXPECT_FALSE(client->meters().clipLampLit(0, reading()));
    EXPECT_TRUE(client->meters().clipLampLit(1, reading()));
    recorder.shutDown();
    testing::useTestDevice("test");
}

}
}
