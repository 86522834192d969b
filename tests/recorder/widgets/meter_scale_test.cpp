// The level meters' scales, peak hold and clip lamps: the segments each scale lights, the dBFS
// marks, the held segment falling back after 1.5 s on an injected clock, and the lamps painted
// and put out by a click.

#include "capture_test_support.h"

#include "widgets/level_meter_panel.h"
#include "widgets/level_meters.h"
#include "widgets/meter_scale.h"
#include "widgets/skin.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <memory>

namespace wavelark {
namespace {

double fromDecibels(double decibels)
{
    return std::pow(10.0, decibels / 20.0);
}

TEST(MeterScale, EachScaleLightsItsSegments)
{
    const struct Case {
        double peak;
        MeterScale scale;
        int lit;
    } cases[] = {
        {1.0, MeterScale::Linear, 26},
        {0.5, MeterScale::Linear, 13},
        {0.3, MeterScale::Linear, 7},
        {-0.03, MeterScale::Linear, 0},  // the timer's last fall
        {fromDecibels(-6), MeterScale::Decibels, 21},  // -6 dBFS lights the 21st segment
        {fromDecibels(-6.1), MeterScale::Decibels, 20},
        {fromDecibels(-18), MeterScale::Decibels, 15},
        {fromDecibels(-12), MeterScale::Decibels, 18},
        {fromDecibels(-3), MeterScale::Decibels, 24},
        {fromDecibels(-0.5), MeterScale::Decibels, 26},
        {fromDecibels(-60), MeterScale::Decibels, 1},
        {fromDecibels(-61), MeterScale::Decibels, 0},
        {fromDecibels(-20), MeterScale::Decibels, 14},  // where a linear meter lights 2
        {fromDecibels(-20), MeterScale::Linear, 2},
        {0.0, MeterScale::Decibels, 0},
        {1.02, MeterScale::Decibels, 26},
    };
    for (const Case& c : cases)
        EXPECT_EQ(litSegments(c.peak, c.scale), c.lit) << c.peak << (c.scale == MeterScale::Linear ? " linear" : " dBFS");
    const struct Mark {
        double decibels;
        int below;
    } marks[] = {{-18, 14}, {-12, 17}, {-6, 20}, {-3, 23}, {-7, -1}};
    for (const Mark& mark : marks)
        EXPECT_EQ(segmentsBelowLevel(mark.decibels), mark.below) << mark.decibels;
}

TEST(MeterScale, ThePeakHoldFallsBackOneAndAHalfSecondsAfterItsHigh)
{
    PeakHold hold;
    const struct Step {
        int lit;
        double time;
        int held;
    } steps[] = {
        {20, 10.0, 20}, {10, 10.5, 20}, {10, 11.49, 20}, {10, 11.5, 10},  // held 1.5 s, then the level
        {5, 11.6, 10},  {22, 11.7, 22}, {22, 12.0, 22},  // a new high holds afresh
        {0, 13.49, 22}, {0, 13.5, 0},
    };
    for (const Step& step : steps)
        EXPECT_EQ(hold.update(step.lit, step.time), step.held) << "at " << step.time;

    ClipLamp lamp;
    EXPECT_FALSE(lamp.lit(0));
    EXPECT_TRUE(lamp.lit(3));
    lamp.click(3);
    EXPECT_FALSE(lamp.lit(3));
    EXPECT_TRUE(lamp.lit(4));
}

class MeterPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureRecorderRuntime();
        m_skin = std::make_unique<Skin>();  // its pixmaps need the application first
        QString error;
        ASSERT_TRUE(loadSkin(*m_skin, &error)) << error.toStdString();
        m_lit = m_skin->meterLit.convertToFormat(QImage::Format_RGB32);
    }
    QImage paint(const MeterLevels& levels)
    {
        QImage image(700, 420, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        m_panel.paint(painter, *m_skin, levels);
        return image;
    }
    // The segment (1..26 from the bottom) of the left meter shows the lit pattern.
    bool segmentLit(const QImage& image, int segment) const
    {
        const int top = kMeterBottom - segment * kMeterSegmentHeight;
        for (int y = top; y < top + kMeterSegmentHeight - 1; ++y)
            for (int x = 0; x < kMeterWidth; ++x)
                if (image.pixel(kLeftMeterX + x, y) != m_lit.pixel(x, (y - kMeterTop) % m_lit.height()))
                    return false;
        return true;
    }

    std::unique_ptr<Skin> m_skin;
    QImage m_lit;
    double m_now = 100.0;
    LevelMeterPanel m_panel{[this] { return m_now; }};
};

TEST_F(MeterPanelTest, TheDecibelScaleHoldsItsPeakSegmentAndTheClipLampWaitsForAClick)
{
    m_panel.setScale(MeterScale::Decibels);
    QImage image = paint({fromDecibels(-6), 0.0, 0, 0});
    EXPECT_TRUE(segmentLit(image, 21));
    EXPECT_FALSE(segmentLit(image, 22));
    // The level falls to -20 dBFS: 14 segments, and the 21st still held for 1.5 s.
    m_now += 1.0;
    image = paint({fromDecibels(-20), 0.0, 0, 0});
    EXPECT_TRUE(segmentLit(image, 14));
    EXPECT_FALSE(segmentLit(image, 15));
    EXPECT_TRUE(segmentLit(image, 21));
    EXPECT_EQ(m_panel.heldSegments(0), 21);
    m_now += 0.5;
    image = paint({fromDecibels(-20), 0.0, 0, 0});
    EXPECT_FALSE(segmentLit(image, 21));
    EXPECT_EQ(m_panel.heldSegments(0), 14);

    // Full-scale input on the right: its lamp lights and stays lit until clicked.
    const MeterLevels clipped{0.1, 1.0, 0, 2};
    const QPoint rightLamp = clipLampRect(kRightMeterX).center();
    const QPoint leftLamp = clipLampRect(kLeftMeterX).center();
    image = paint(clipped);
    EXPECT_EQ(image.pixel(rightLamp), qRgb(236, 32, 32));
    EXPECT_EQ(image.pixel(leftLamp), qRgb(86, 28, 28));
    EXPECT_FALSE(m_panel.click(leftLamp, clipped));
    EXPECT_FALSE(m_panel.click(QPoint(kRightMeterX + 5, kMeterTop + 40), clipped));
    EXPECT_TRUE(m_panel.clipLampLit(1, {0.0, 0.0, 0, 2}));
    EXPECT_TRUE(m_panel.click(rightLamp, clipped));
    EXPECT_EQ(paint(clipped).pixel(rightLamp), qRgb(86, 28, 28));
    EXPECT_TRUE(m_panel.clipLampLit(1, {0.0, 0.0, 0, 3}));  // clipping again lights it again
}

TEST_F(MeterPanelTest, TheLinearScaleDrawsAsTheSkinDidWithTheHeldSegmentAbove)
{
    QImage skinOnly(700, 420, QImage::Format_RGB32);
    skinOnly.fill(Qt::black);
    {
        QPainter painter(&skinOnly);
        drawMeterPanel(painter);
        drawLevelMeter(painter, *m_skin, kLeftMeterX, 0.3);
        drawLevelMeter(painter, *m_skin, kRightMeterX, 0.3);
        drawClipLamp(painter, kLeftMeterX, false);
        drawClipLamp(painter, kRightMeterX, false);
    }
    EXPECT_EQ(paint({0.3, 0.3, 0, 0}), skinOnly);
    m_now += 0.2;
    const QImage held = paint({0.1, 0.1, 0, 0});
    EXPECT_TRUE(segmentLit(held, 7));  // trunc(0.3 x 26) held
    EXPECT_FALSE(segmentLit(held, 6));
    EXPECT_TRUE(segmentLit(held, 2));
}

}
}
