// The choices beside settings.dat: every key read, values out of range and damaged files falling
// back to the defaults, unknown keys kept through a write, and the file replaced whole.

#include "core/recorder_choices.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace wavelark {
namespace {

RecorderChoices withDevices(const char* record, const char* playback)
{
    RecorderChoices choices;
    choices.recordDeviceName = QString::fromUtf8(record);
    choices.playbackDeviceName = QString::fromUtf8(playback);
    return choices;
}

TEST(RecorderChoices, TextsAreReadKeyByKeyAndDamagedOnesGiveTheDefaults)
{
    RecorderChoices everything = withDevices("USB Audio CODEC", "HDA Intel PCH: ALC892 Analog (hw:0,0)");
    everything.stopAtSideEnd = true;
    everything.sideEndSilenceSeconds = 45;
    everything.startOnSound = true;
    everything.stopAfterMinutes = 90;
    everything.meterScale = MeterScale::Decibels;
    RecorderChoices unknownKept = withDevices("Plattenspieler = USB", "");
    unknownKept.unknownKeys = {{"window-x", "12"}, {"future", "a=b"}};
    RecorderChoices outOfRange;  // each bad value takes its own default; the good one stays
    outOfRange.stopAtSideEnd = true;

    const struct Case {
        const char* name;
        QByteArray text;
        RecorderChoices expected;
    } cases[] = {
        {"Empty", "", RecorderChoices{}},
        {"Everything",
         "record-device=USB Audio CODEC\nplayback-device=HDA Intel PCH: ALC892 Analog (hw:0,0)\nstop-at-side-end=1\n"
         "side-end-silence-seconds=45\nstart-on-sound=1\nstop-after-minutes=90\nmeter-scale=dbfs\n",
         everything},
        {"WindowsLineEndsAndBlankLines", "\r\nrecord-device=USB Audio CODEC\r\n\r\nplayback-device=HDA Intel PCH: "
                                         "ALC892 Analog (hw:0,0)\r\nstop-at-side-end=1\r\nside-end-silence-seconds=45\r\n"
                                         "start-on-sound=1\r\nstop-after-minutes=90\r\nmeter-scale=dbfs",
         everything},
        {"UnknownKeysAndEqualsInAName", "window-x=12\nrecord-device=Plattenspieler = USB\nfuture=a=b\n", unknownKept},
        {"OutOfRange", "stop-at-side-end=1\nside-end-silence-seconds=9\nstop-after-minutes=-5\nstart-on-sound=yes\n"
                       "meter-scale=loud\n",
         outOfRange},
        {"TooLongSilence", "stop-at-side-end=1\nside-end-silence-seconds=61\n", outOfRange},
        {"LineWithoutEquals", "record-device=USB\nrubbish\n", RecorderChoices{}},
        {"LineWithoutKey", "=USB\n", RecorderChoices{}},
        {"NotText", QByteArray("record-device=USB\0\n", 19), RecorderChoices{}},
        {"NotUtf8", "record-device=\xff\xfe\n", RecorderChoices{}},
        {"TooLarge", "record-device=" + QByteArray(70000, 'x') + "\n", RecorderChoices{}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseRecorderChoices(c.text), c.expected) << c.name;
}

TEST(RecorderChoices, WrittenChoicesReadBackTheSameWithUnknownKeysKept)
{
    testing::TemporaryFolder folder;
    const QString path = QString::fromStdString(folder.file(kChoicesFileName));
    EXPECT_EQ(readRecorderChoices(path), RecorderChoices{});  // missing: the defaults

    RecorderChoices choices = withDevices("USB Audio CODEC", "Ausgang \xc3\xa4");
    choices.stopAfterMinutes = 30;
    choices.meterScale = MeterScale::Decibels;
    choices.unknownKeys = {{"future", "kept"}};
    ASSERT_EQ(writeRecorderChoices(path, choices), QString());
    EXPECT_EQ(readRecorderChoices(path), choices);

    // A name with a line break stays on its line and does not plant a key.
    choices.recordDeviceName = QStringLiteral("Two\nmeter-scale=linear");
    ASSERT_EQ(writeRecorderChoices(path, choices), QString());
    const RecorderChoices read = readRecorderChoices(path);
    EXPECT_EQ(read.recordDeviceName, QStringLiteral("Two meter-scale=linear"));
    EXPECT_EQ(read.meterScale, MeterScale::Decibels);

    // A folder where the file should be: the write fails with a reason and nothing is left.
    const QString blocked = QString::fromStdString(folder.file("blocked"));
    std::filesystem::create_directory(blocked.toStdString());
    std::filesystem::create_directory(blocked.toStdString() + "/inside");
    EXPECT_FALSE(writeRecorderChoices(blocked, choices).isEmpty());
    EXPECT_TRUE(std::filesystem::is_directory(blocked.toStdString()));
}

}
}
