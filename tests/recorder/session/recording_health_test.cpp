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

TEST(RecordingHealth, TextsWhileRecordingWarnOfClippingDropsAndLittleTimeLeft)
{
    testing::ensureRecorderRuntime();  // the time text comes from the toolkit
    struct Case {
        RecordingHealth health;
        double secondsLeft;
        const char* text;
        bool warning;
    };
    const Case cases[] = {
        {{}, 4000.0, "Time left 1:06:40", false},
        {{}, 299.9, "Only 4:59 of recording time left", true},
        {{3, 0, 0.9, {}, 0}, 4000.0, "Time left 1:06:40   Clipping: L 3", true},
        {{0, 12, 0.9, {}, 0}, 4000.0, "Time left 1:06:40   Clipping: R 12", true},
        {{0, 0, 0.5, {22050, 1}, 0}, 60.0, "Only 1:00 of recording time left   Dropped: 0.50 s, 1 overrun", true},
        {{1, 2, 0.5, {0, 3}, 0}, 4000.0, "Time left 1:06:40   Clipping: L 1, R 2   Dropped: 3 overruns", true},
    };
    for (const Case& c : cases) {
        const HealthDisplay display = recordingHealthDisplay(c.health, c.secondsLeft);
        EXPECT_EQ(display.text.toStdString(), c.text);
        EXPECT_EQ(display.warning, c.warning) << c.text;
    }
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
        {{2, 5, 1.0, {}, 176400}, "The take clipped (L 2, R 5)", true},
        {{0, 0, 0.6, {22050, 0}, 176400}, "The take has gaps (0.50 s)", true},
        {{0, 1, 0.6, {0, 2}, 176400}, "The take clipped (R 1)   The take has gaps (2 overruns)", true},
    };
    for (const Case& c : cases) {
        const HealthDisplay display = takeSummaryDisplay(c.health);
        EXPECT_EQ(display.text.toStdString(), c.text);
        EXPECT_EQ(display.warning, c.warning) << c.text;
    }
}

}
}
