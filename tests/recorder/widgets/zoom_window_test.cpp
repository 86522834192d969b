// The zoom window over a 20-minute side: the buttons' steps and where they leave the window,
// the pixel-to-frame mapping of the whole take (the stored selection's) and of a zoomed view,
// and the scroll bar's positions.

#include "widgets/zoom_window.h"

#include "core/take_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace wavelark {
namespace {

constexpr uint64_t kSideFrames = 20ull * 60 * 44100;  // 52,920,000
constexpr uint32_t kSideBytes = kSideFrames * 4;
constexpr double kWholeZoom = double(kSideFrames) / 555;

struct ZoomRow {
    const char* name;
    std::function<bool(ZoomWindow&)> steps;  // the buttons pressed; returns the last one's answer
    bool changed;
    bool whole;
    double framesPerPixel;
    uint64_t firstFrame;
    // Each step in or out rounds the first frame: the middle may wander half a frame a step.
    double tolerance = 0.0;
};

ZoomWindow& zoomedIn(ZoomWindow& window, int times)
{
    for (int time = 0; time < times; ++time)
        window.zoomIn();
    return window;
}

// Where a zoom around the side's middle starts: the middle stays under the view's middle pixel.
uint64_t middleStart(double framesPerPixel)
{
    return static_cast<uint64_t>(std::llround(kSideFrames / 2.0 - 277.5 * framesPerPixel));
}

class ZoomSteps : public ::testing::TestWithParam<ZoomRow> {};

TEST_P(ZoomSteps, LeaveTheWindowWhereTheButtonSays)
{
    const ZoomRow& row = GetParam();
    ZoomWindow window(kSideBytes);
    EXPECT_EQ(row.steps(window), row.changed);
    EXPECT_EQ(window.whole(), row.whole);
    EXPECT_NEAR(window.framesPerPixel(), row.framesPerPixel, 1e-6);
    EXPECT_NEAR(double(window.firstFrame()), double(row.firstFrame), row.tolerance);
    // Always inside the take.
    EXPECT_LE(window.firstFrame() + window.visibleFrames(), kSideFrames);
}

INSTANTIATE_TEST_SUITE_P(
    Side, ZoomSteps,
    ::testing::Values(
        ZoomRow{"OutOfTheWholeTakeDoesNothing", [](ZoomWindow& w) { return w.zoomOut(); }, false, true, kWholeZoom, 0},
        ZoomRow{"InOnceHalvesAroundTheMiddle", [](ZoomWindow& w) { return w.zoomIn(); }, true, false, kWholeZoom / 2,
                middleStart(kWholeZoom / 2)},
        ZoomRow{"InEightTimes", [](ZoomWindow& w) { return zoomedIn(w, 8).whole(); }, false, false, kWholeZoom / 256,
                middleStart(kWholeZoom / 256), 4.0},
        ZoomRow{"InAndOutAgainIsTheWholeTake", [](ZoomWindow& w) { return zoomedIn(w, 1).zoomOut(); }, true, true,
                kWholeZoom, 0},
        ZoomRow{"InStopsAtAFrameAPixel", [](ZoomWindow& w) { return zoomedIn(w, 30).zoomIn(); }, false, false, 1.0,
                middleStart(1.0), 16.0},
        ZoomRow{"AllFromDeepIn", [](ZoomWindow& w) { return zoomedIn(w, 9).showWhole(); }, true, true, kWholeZoom, 0},
        ZoomRow{"ToTheStart", [](ZoomWindow& w) { return zoomedIn(w, 8).showStart(); }, true, false, kWholeZoom / 256, 0},
        ZoomRow{"ToTheEndShowsTheLastFrame", [](ZoomWindow& w) { return zoomedIn(w, 8).showEnd(); }, true, false,
                kWholeZoom / 256, kSideFrames - static_cast<uint64_t>(std::ceil(555 * kWholeZoom / 256))},
        ZoomRow{"StartAndEndOfTheWholeTakeDoNothing", [](ZoomWindow& w) { return w.showStart() || w.showEnd(); },
                false, true, kWholeZoom, 0},
        ZoomRow{"SelectionFillsTheView", [](ZoomWindow& w) { return w.showRange(882000, 441000); }, true, false,
                441000.0 / 555, 441000},
        ZoomRow{"ATinySelectionIsCentredAtAFrameAPixel", [](ZoomWindow& w) { return w.showRange(1000, 1100); }, true,
                false, 1.0, 773},
        ZoomRow{"ASelectionAtTheStartIsHeldInside", [](ZoomWindow& w) { return w.showRange(0, 10); }, true, false,
                1.0, 0},
        ZoomRow{"AnEmptySelectionDoesNothing", [](ZoomWindow& w) { return w.showRange(5000, 5000); }, false, true,
                kWholeZoom, 0},
        ZoomRow{"AScrollPastTheEndIsHeld", [](ZoomWindow& w) { return zoomedIn(w, 4).scrollTo(kSideFrames); }, true,
                false, kWholeZoom / 16, kSideFrames - static_cast<uint64_t>(std::ceil(555 * kWholeZoom / 16))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ZoomWindowTable, ASideCannotBeZoomedWhenShorterThanTheView)
{
    ZoomWindow window(100 * 4);
    EXPECT_FALSE(window.zoomIn());
    EXPECT_TRUE(window.whole());
    ZoomWindow empty(0);
    EXPECT_FALSE(empty.zoomIn());
    EXPECT_EQ(empty.frameAt(300), 0u);
}

// The whole take maps a pixel to the frame the stored selection's column gives Play and Save.
TEST(ZoomWindowTable, TheWholeTakeMapsPixelsAsTheStoredColumns)
{
    for (const uint32_t bytes : {kSideBytes, 1764000u, 4u * 1234567u}) {
        const ZoomWindow window(bytes);
        for (const int x : {0, 1, 100, 277, 554, 555})
            EXPECT_EQ(window.frameAt(x), wholeFrames(columnToOffset(x, bytes)) / 4) << bytes << " " << x;
        EXPECT_NEAR(window.columnOf(wholeFrames(columnToOffset(300, bytes)) / 4), 300.0, 0.01);
    }
}

// Eight steps in, a pixel holds at most 10 ms of the side, and each frame lies under the pixel
// its x names (a frame on a pixel's edge may round to either side).
TEST(ZoomWindowTable, EightStepsInPlaceAnEdgeToTenMilliseconds)
{
    ZoomWindow window(kSideBytes);
    zoomedIn(window, 8);
    for (int x = 0; x < 555; ++x) {
        EXPECT_LE(window.frameAt(x + 1) - window.frameAt(x), 441u) << x;
    }
    for (uint64_t frame = window.firstFrame(); frame < window.firstFrame() + window.visibleFrames(); frame += 997) {
        const int x = static_cast<int>(std::floor(window.xOf(frame)));
        EXPECT_LE(window.frameAt(x), frame);
        EXPECT_GE(window.frameAt(x + 1), frame);
    }
}

TEST(ZoomWindowTable, TheScrollBarReachesBothEndsOfTheTake)
{
    ZoomWindow window(kSideBytes);
    EXPECT_EQ(window.scrollRange(), 0);
    zoomedIn(window, 8);
    const double zoom = window.framesPerPixel();
    EXPECT_EQ(window.scrollRange(), static_cast<int>(std::ceil((kSideFrames - std::ceil(555 * zoom)) / zoom)));
    EXPECT_TRUE(window.setScrollPosition(0));
    EXPECT_EQ(window.firstFrame(), 0u);
    EXPECT_TRUE(window.setScrollPosition(window.scrollRange()));
    EXPECT_EQ(window.firstFrame() + window.visibleFrames(), kSideFrames);
    EXPECT_TRUE(window.setScrollPosition(1000));
    EXPECT_NEAR(double(window.firstFrame()), 1000 * zoom, 1.0);
    EXPECT_EQ(window.scrollPosition(), 1000);
    EXPECT_EQ(window.pageStep(), 555);
}

}
}
