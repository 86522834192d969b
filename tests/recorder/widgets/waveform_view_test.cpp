// The waveform view's selection by mouse, its status line and its composed picture.

#include "fake_waveform_host.h"

#include "core/take_format.h"
#include "widgets/skin.h"
#include "widgets/waveform_view.h"

#include "core/toolkit_binding.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

#include <QApplication>
#include <QMouseEvent>

namespace wavelark {
namespace {

using testing::CaptureFixtureState;
using testing::timeText;
using testing::WaveformViewTest;

TEST_F(WaveformViewTest, ClickWithoutDragClearsTheSelectionMovesTheCursorAndStopsPlayback)
{
    m_view.setSelection(100, 200);
    m_host.isPlaying = true;
    move(300);
    press(300);
    release(300);
    EXPECT_EQ(m_view.firstEdge(), 300u);
    EXPECT_EQ(m_view.secondEdge(), 300u);
    EXPECT_EQ(m_host.cursor, 300.0);
    EXPECT_EQ(m_host.stops, 1);
    EXPECT_TRUE(m_host.plays.empty());
    EXPECT_EQ(m_host.storedFirst, 300u);
    EXPECT_EQ(m_host.storedSecond, 300u);
}

TEST_F(WaveformViewTest, DragFromRightToLeftKeepsTheFirstEdgeLargerAndPlaysFromTheStart)
{
    drag(300, 100);
    EXPECT_EQ(m_view.firstEdge(), 300u);
    EXPECT_EQ(m_view.secondEdge(), 100u);
    ASSERT_EQ(m_host.plays, std::vector<bool>{false});
    // The band lies between the smaller and the larger edge.
    const QImage& selection = m_view.selectionImage();
    EXPECT_EQ(selection.pixel(99, 10), qRgb(0, 0, 0));
    EXPECT_EQ(selection.pixel(100, 10), qRgb(255, 255, 255));
    EXPECT_EQ(selection.pixel(299, 10), qRgb(255, 255, 255));
    EXPECT_EQ(selection.pixel(300, 10), qRgb(0, 0, 0));
    const uint32_t bytes = columnToOffset(300, m_host.length) - columnToOffset(100, m_host.length);
    const QString expected = QStringLiteral(" Duration : ") + timeText(10) + QStringLiteral(" / Selection : ")
                             + timeText(static_cast<int>(takeSeconds(bytes)));
    ASSERT_FALSE(m_host.statuses.empty());
    EXPECT_EQ(m_host.statuses.back(), expected);
}

TEST_F(WaveformViewTest, DraggingTheRightHandEdgePlaysTheTail)
{
    m_view.setSelection(100, 400);
    drag(401, 450);
    EXPECT_EQ(m_view.secondEdge(), 450u);
    EXPECT_EQ(m_host.plays, std::vector<bool>{true});
}

TEST_F(WaveformViewTest, DraggingTheLeftHandEdgePlaysFromTheStart)
{
    m_view.setSelection(100, 400);
    drag(99, 50);
    EXPECT_EQ(m_view.firstEdge(), 50u);
    EXPECT_EQ(m_host.plays, std::vector<bool>{false});
}

TEST_F(WaveformViewTest, DoubleClickSelectsTheWholeTakeWithoutPlaying)
{
    move(200);
    send(QEvent::MouseButtonDblClick, 200, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(m_view.firstEdge(), 0u);
    EXPECT_EQ(m_view.secondEdge(), 555u);
    EXPECT_EQ(m_host.cursor, 0.0);
    EXPECT_TRUE(m_host.plays.empty());
    ASSERT_FALSE(m_host.statuses.empty());
    EXPECT_TRUE(m_host.statuses.back().startsWith(QStringLiteral(" Duration : ") + timeText(10)));
}

struct HoverCase {
    uint32_t first;
    uint32_t second;
    int x;
    int hover;
};

class WaveformViewHover : public WaveformViewTest, public ::testing::WithParamInterface<HoverCase> {};

TEST_P(WaveformViewHover, TakesAnEdgeWithinTwoPixels)
{
    const HoverCase row = GetParam();
    m_view.setSelection(row.first, row.second);
    move(row.x);
    EXPECT_EQ(m_view.hoverEdge(), row.hover);
}

INSTANTIATE_TEST_SUITE_P(Edges, WaveformViewHover,
                         ::testing::Values(HoverCase{100, 200, 98, 1}, HoverCase{100, 200, 102, 1},
                                           HoverCase{100, 200, 103, 0}, HoverCase{100, 200, 202, 2},
                                           HoverCase{100, 200, 197, 0}, HoverCase{100, 103, 102, 1},
                                           HoverCase{100, 100, 100, 0}),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST_F(WaveformViewTest, MouseIsIgnoredWithoutATakeOrWhileRecording)
{
    m_host.allowed = false;
    drag(100, 200);
    EXPECT_EQ(m_view.firstEdge(), 0u);
    m_host.allowed = true;
    m_host.isRecording = true;
    drag(100, 200);
    EXPECT_EQ(m_view.secondEdge(), 0u);
}

TEST_F(WaveformViewTest, LeavingTheViewShowsTheArrowAndStopsTheDragAlsoWithTheButtonHeld)
{
    m_view.setSelection(100, 200);
    move(200);
    ASSERT_EQ(m_view.cursor().shape(), Qt::SizeHorCursor);
    press(200);
    move(600, true);
    EXPECT_EQ(m_view.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(m_view.secondEdge(), 200u);
}

TEST(Skin, CaptionFontFillsItsCellAtWeight100WithAFallbackFace)
{
    testing::ensureRecorderRuntime();
    Skin skin;
    QString error;
    ASSERT_TRUE(loadSkin(skin, &error)) << error.toStdString();
    const QFontMetrics metrics(skin.largeFont);
    EXPECT_EQ(metrics.height(), kLargeFontCell.height());
    EXPECT_NEAR(metrics.averageCharWidth(), kLargeFontCell.width(), 1);
    EXPECT_EQ(skin.largeFont.weight(), QFont::Thin);
    EXPECT_EQ(skin.largeFont.families().value(0), QStringLiteral("Verdana"));
    EXPECT_GT(skin.largeFont.families().size(), 1);
}

TEST_F(WaveformViewTest, StatusShowsWholeSeconds)
{
    m_host.length = static_cast<uint32_t>(1.9 * 176400) & ~3u;
    m_view.setSelection(0, 555);
    m_view.updateStatus();
    ASSERT_EQ(m_host.statuses.size(), 1u);
    EXPECT_EQ(m_host.statuses[0],
              QStringLiteral(" Duration : ") + timeText(1) + QStringLiteral(" / Selection : ") + timeText(1));
    // The same text again is not written.
    m_view.updateStatus();
    EXPECT_EQ(m_host.statuses.size(), 1u);
}

TEST_F(WaveformViewTest, ComposeInvertsTheSelectionAndDrawsTheCursorOrTheCaption)
{
    m_view.setSelection(10, 20);
    m_view.drawSelection();
    m_host.cursor = 300.0;
    m_view.compose();
    const QImage& composed = m_view.composedImage();
    EXPECT_EQ(composed.pixel(15, 30), qRgb(0, 0, 0));        // white inverted
    EXPECT_EQ(composed.pixel(300, 30), qRgb(0, 0, 0));       // the cursor, white XOR white
    EXPECT_EQ(composed.pixel(200, 0), qRgb(128, 128, 128));  // the frame
    m_host.isRecording = true;
    m_view.compose();
    EXPECT_EQ(m_view.composedImage().pixel(300, 30), qRgb(255, 255, 255));
    bool captionSeen = false;
    for (int x = 0; x < 555 && !captionSeen; ++x)
        for (int y = 0; y < 115 && !captionSeen; ++y)
            captionSeen = m_view.composedImage().pixel(x, y) == qRgb(255, 100, 100);
    EXPECT_TRUE(captionSeen);
}

// Track markers lie over the waveform and the selection and under the play cursor, each a line
// with its number at the top; the rest of the picture is as without them.
TEST_F(WaveformViewTest, TrackMarkersAreDrawnOverTheSelectionAndUnderTheCursor)
{
    const QRgb marker = qRgb(208, 96, 0);
    const QRgb inverted = marker ^ 0x00FFFFFF;
    m_view.setSelection(10, 100);
    m_view.drawSelection();
    m_host.cursor = 300.0;
    m_view.compose();
    const QImage without = m_view.composedImage().copy();

    // 441,000 frames: 794.6 frames a column.
    m_view.setTrackMarkers({40050, 238378, 441000}, 441000);
    m_view.compose();
    const QImage& composed = m_view.composedImage();
    const int bottom = composed.height() - 10;
    EXPECT_EQ(m_view.trackMarkerX(50.4), 50);
    EXPECT_EQ(composed.pixel(50, bottom), marker);      // over the selection's band
    EXPECT_EQ(composed.pixel(300, bottom), inverted);   // under the play cursor
    EXPECT_EQ(m_view.trackMarkerX(555.0), 553);
    EXPECT_EQ(composed.pixel(553, bottom), marker);     // the end of the take, inside the frame
    EXPECT_EQ(composed.pixel(200, bottom), without.pixel(200, bottom));
    EXPECT_EQ(composed.pixel(30, bottom), without.pixel(30, bottom));
    // The first marker's number sits at the top, right of its line.
    int numberPixels = 0;
    for (int x = 51; x < 62; ++x)
        for (int y = 1; y < 13; ++y)
            numberPixels += composed.pixel(x, y) != without.pixel(x, y);
    EXPECT_GT(numberPixels, 0);

    m_view.setTrackMarkers({}, 441000);
    m_view.compose();
    EXPECT_EQ(m_view.composedImage(), without);
}

}
}
