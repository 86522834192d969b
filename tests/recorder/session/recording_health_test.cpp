// The take's health as the progress bar shows it: the time left against the free space and the
// largest take, and the texts during and after a take.

#include "capture_test_support.h"

#include "session/recording_health.h"

#include "audio/take_file.h"

#include <gtest/gtest.h>

namespace wavelark {
namespace {

TEST(RecordingHealth, TimeLeftIsTheSmallerOfTheFreeSpaceAndTheLargestTake)
{
    struct Case {
        std::optional<uint64_t> freeBytes;
        uint64_t takeBytes;
        double seconds;
    };
    const Case cases[] = {
        {std::nullopt, 0, 4294967292.0 / 176400.0},  // the file system cannot be asked: the take limit
        {176400 * 100, 0, 100.0},                     // a small disk
        {176400ull * 100000, kLargestTake - 176400 * 10, 10.0},  // the take nearly at its limit
        {176400 * 100, kLargestTake, 0.0},
        {0, 1000, 0.0},                               // a full disk
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(recordingSecondsLeft(c.freeBytes, c.takeBytes, kLargestTake), c.seconds) << c.takeBytes;
}

TEST(RecordingHealth, TextsWhileRecordingTellThePeakClippingAsTimeAndShareDropsAndTheDevice)
{
    testing::ensureRecorderRuntime();  // the time text comes from the toolkit
    constexpr uint64_t kMinute = 60 * 176400;  // a minute of take in bytes
    const QString source = recordingSourceText(QStringLiteral("USB Audio CODEC"), 44100);
    struct Case {
        RecordingHealth health;
        double secondsLeft;
        QString source;
        const char* text;
        bool warning;
    };
    const Case cases[] = {
        {{0, 0, 0.5, {}, kMinute}, 4000.0, source, "Time left 1:06:40   Peak -6.0 dBFS   USB Audio CODEC, 44.1 kHz", false},
        {{}, 299.9, {}, "Only 4:59 of recording time left   Peak below -60 dBFS", true},
        // 79,380 frames at full scale in the left channel: 1.8 s of a minute.
        {{79380, 0, 1.0, {}, kMinute}, 4000.0, {}, "Time left 1:06:40   Peak 0.0 dBFS   Clipped 1.8 s, 3.0 % of the take", true},
        // The channel that clipped most tells the time.
        {{10, 441, 0.99, {}, kMinute}, 4000.0, {}, "Time left 1:06:40   Peak -0.1 dBFS   Clipped 10 ms, < 0.1 % of the take",
         true},
        {{3, 0, 0.9, {}, kMinute}, 4000.0, {}, "Time left 1:06:40   Peak -0.9 dBFS   Clipped < 1 ms, < 0.1 % of the take", true},
        {{0, 2646, 0.9, {}, 0}, 4000.0, {}, "Time left 1:06:40   Peak -0.9 dBFS   Clipped 60 ms", true},  // no take size yet
        {{0, 0, 0.5, {22050, 1}, 0}, 60.0, source,
         "Only 1:00 of recording time left   Peak -6.0 dBFS   Dropped: 0.50 s, 1 overrun   USB Audio CODEC, 44.1 kHz", true},
        {{0, 0, 0.25, {0, 3}, 0}, 4000.0, {}, "Time left 1:06:40   Peak -12.0 dBFS   Dropped: 3 overruns", true},
    };
    for (const Case& c : cases) {
        const HealthDisplay display = recordingHealthDisplay(c.health, c.secondsLeft, c.source);
        EXPECT_EQ(display.text.toStdString(), c.text);
        EXPECT_EQ(display.warning, c.warning) << c.text;
    }
    EXPECT_EQ(recordingSourceText(QString(), 48000).toStdString(), "48 kHz");
}

TEST(RecordingHealth, SummaryAfterStopNamesClippingGapsAndSilence)
{
    struct Case {
        RecordingHealth health;
        const char* text;
        bool warning;
    };
    const Case cases[] = {
        {{0, 0, 0.7, {}, 176400}, "The take came through clean: no clipping, nothing dropped", false},
        {{0, 0, 0.0005, {}, 176400}, "The take is silent: check the input and that recording is enabled", true},
        {{0, 0, 0.0, {}, 0}, "The take came through clean: no clipping, nothing dropped", false},  // nothing to hear
        {{2, 5, 1.0, {}, 176400}, "The take clipped (< 1 ms, < 0.1 % of the take)", true},
        {{4410, 8820, 1.0, {}, 176400}, "The take clipped (0.2 s, 20.0 % of the take)", true},
        {{0, 0, 0.6, {22050, 0}, 176400}, "The take has gaps (0.50 s)", true},
        {{0, 1, 0.6, {0, 2}, 176400}, "The take clipped (< 1 ms, < 0.1 % of the take)   The take has gaps (2 overruns)",
         true},
    };
    for (const Case& c : cases) {
        const HealthDisplay display = takeSummaryDisplay(c.health);
        EXPECT_EQ(display.text.toStdString(), c.text);
        EXPECT_EQ(display.warning, c.warning) << c.text;
    }
}

}
}
