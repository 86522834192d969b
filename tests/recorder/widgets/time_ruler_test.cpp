// The view's time texts and the ruler's steps: exact times to the millisecond, whole m:ss, and a
// tick step that keeps labels apart at every zoom from a frame a pixel to the whole side.

#include "widgets/time_ruler.h"

#include <gtest/gtest.h>

namespace wavelark {
namespace {

TEST(TimeTexts, ExactTimesCountMillisecondsDown)
{
    const struct {
        uint64_t frames;
        const char* text;
    } rows[] = {
        {0, "0:00.000"},
        {44, "0:00.000"},           // 0.998 ms
        {45, "0:00.001"},
        {44100, "0:01.000"},
        {44100 * 61 + 22050, "1:01.500"},
        {44100ull * 3599 + 44099, "59:59.999"},
        {44100ull * 3600, "1:00:00.000"},
        {44100ull * (3600 * 2 + 65) + 441, "2:01:05.010"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(exactTimeText(row.frames), QString::fromLatin1(row.text)) << row.frames;
}

TEST(TimeTexts, MinutesTextsAreWholeSeconds)
{
    EXPECT_EQ(minutesText(0.0), QStringLiteral("0:00"));
    EXPECT_EQ(minutesText(59.99), QStringLiteral("0:59"));
    EXPECT_EQ(minutesText(192.4), QStringLiteral("3:12"));
    EXPECT_EQ(minutesText(3725.0), QStringLiteral("62:05"));
}

TEST(TimeRuler, StepsKeepLabelsAtLeastSixtyPixelsApartAndNoFurtherThanNeeded)
{
    const struct {
        double secondsPerPixel;
        double step;
    } rows[] = {
        {1.0 / 44100, 0.002},  // a frame a pixel: 88 pixels a step
        {0.008, 0.5},          // 8 ms a pixel (20-minute side eight steps in)
        {0.01, 1.0},
        {0.2, 15.0},
        {2.16, 300.0},         // a 20-minute side whole
        {100.0, 600.0},        // never coarser than ten minutes
    };
    for (const auto& row : rows) {
        EXPECT_EQ(rulerStepSeconds(row.secondsPerPixel), row.step) << row.secondsPerPixel;
        if (row.step < 600.0)
            EXPECT_GE(row.step / row.secondsPerPixel, 60.0);
    }
}

TEST(TimeRuler, LabelsCarryTheDecimalsOfTheirStep)
{
    EXPECT_EQ(rulerLabel(75.0, 15.0), QStringLiteral("1:15"));
    EXPECT_EQ(rulerLabel(0.3, 0.1), QStringLiteral("0:00.3"));
    EXPECT_EQ(rulerLabel(61.25, 0.05), QStringLiteral("1:01.25"));
    EXPECT_EQ(rulerLabel(59.998, 0.002), QStringLiteral("0:59.998"));
    EXPECT_EQ(rulerLabel(59.9999999, 0.1), QStringLiteral("1:00.0"));
}

}
}
