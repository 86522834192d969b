// The waveform view zoomed and its track markers edited by mouse and key, over the fake host:
// the zoomed picture drawn from the host's columns under a ruler, a selection placed to the
// frame, the whole take drawn as before; a marker selected, dragged between its neighbours,
// added, removed and played from, and the track under the mouse on the status line.

#include "fake_waveform_host.h"

#include "widgets/zoom_window.h"

#include <gtest/gtest.h>

namespace wavelark {
namespace {

using testing::WaveformViewTest;

constexpr uint64_t kTakeFrames = 441000;  // the fake host's ten seconds
constexpr double kWholeZoom = 441000.0 / 555;

uint64_t frameOfColumn(double column)
{
    return ZoomWindow(kTakeFrames * 4).frameOfColumn(column);
}

class ZoomedViewTest : public WaveformViewTest {
protected:
    // Six steps in around the take's middle: 12.4 frames a pixel.
    void zoomSixTimes()
    {
        for (int step = 0; step < 6; ++step)
            m_view.zoomIn();
    }
    double zoom() const { return kWholeZoom / 64; }
    double start() const { return kTakeFrames / 2.0 - 277.5 * zoom(); }
};

TEST_F(ZoomedViewTest, AZoomedDragSelectsToTheFrameAndStoresTheNearestColumns)
{
    zoomSixTimes();
    ASSERT_FALSE(m_view.zoom().whole());
    ASSERT_FALSE(m_host.zoomReads.empty());
    EXPECT_NEAR(m_host.zoomReads.back().second, zoom(), 1e-9);
    drag(100, 300);
    const auto exact = m_view.exactSelection();
    ASSERT_TRUE(exact.has_value());
    EXPECT_NEAR(double(exact->first), start() + 100 * zoom(), 1.5);
    EXPECT_NEAR(double(exact->second), start() + 300 * zoom(), 1.5);
    // settings.dat keeps the nearest whole-take columns: 274.7 and 277.9.
    EXPECT_EQ(m_host.storedFirst, 275u);
    EXPECT_EQ(m_host.storedSecond, 278u);
    EXPECT_EQ(m_host.plays, std::vector<bool>{false});
    // The band lies between the two pixels.
    EXPECT_EQ(m_view.selectionImage().pixel(99, 50), qRgb(0, 0, 0));
    EXPECT_EQ(m_view.selectionImage().pixel(150, 50), qRgb(255, 255, 255));
    EXPECT_EQ(m_view.selectionImage().pixel(300, 50), qRgb(0, 0, 0));
    // The exact times of the selection, 200 pixels of 12.4 frames: 56 ms.
    EXPECT_TRUE(m_view.selectionTimesText().endsWith(QStringLiteral("(0:00.056)")))
        << m_view.selectionTimesText().toStdString();
}

TEST_F(ZoomedViewTest, TheZoomedPictureIsTheHostsColumnsUnderARuler)
{
    zoomSixTimes();
    const QImage& composed = m_view.composedImage();
    const uint64_t first = m_view.zoom().firstFrame();
    // The fake's column x peaks at its last frame's value (mod 30000), at row 57 - peak / 608.
    for (const int x : {50, 200, 400}) {
        const uint64_t last = first + static_cast<uint64_t>(std::floor((x + 1) * zoom())) - 1;
        EXPECT_EQ(composed.pixel(x, 57 - int(last % 30000) / 608), qRgb(0, 0, 128)) << x;
    }
    // The ruler's band over the top, with ticks: not the white of the whole take's picture.
    int rulerPixels = 0;
    for (int x = 1; x < 554; ++x)
        rulerPixels += composed.pixel(x, 10) != qRgb(255, 255, 255);
    EXPECT_GT(rulerPixels, 5);
}

TEST_F(ZoomedViewTest, BackToTheWholeTakeTheViewDrawsAsBeforeAndAWholeDragIsNotExact)
{
    m_view.setSelection(100, 200);
    m_view.drawSelection();
    m_view.compose();
    const QImage before = m_view.composedImage().copy();
    zoomSixTimes();
    EXPECT_NE(m_view.composedImage(), before);
    m_view.showWholeTake();
    EXPECT_TRUE(m_view.zoom().whole());
    EXPECT_EQ(m_view.composedImage(), before);
    drag(120, 240);
    EXPECT_FALSE(m_view.exactSelection().has_value());
}

TEST_F(ZoomedViewTest, APlayCursorLeavingTheZoomedViewTurnsThePage)
{
    zoomSixTimes();
    const uint64_t first = m_view.zoom().firstFrame();
    m_host.isPlaying = true;
    m_host.cursor = 400.0;  // far right of the shown part
    m_view.compose();
    EXPECT_EQ(m_view.zoom().firstFrame(), frameOfColumn(400.0));
    // Inside the view, or not playing: the window stays.
    m_host.cursor = 400.001;
    m_view.compose();
    EXPECT_EQ(m_view.zoom().firstFrame(), frameOfColumn(400.0));
    m_host.isPlaying = false;
    m_host.cursor = 10.0;
    m_view.compose();
    EXPECT_EQ(m_view.zoom().firstFrame(), frameOfColumn(400.0));
    EXPECT_NE(first, frameOfColumn(400.0));
}

TEST_F(ZoomedViewTest, ZoomNeedsATakeAndNoRecording)
{
    m_host.allowed = false;
    m_view.zoomIn();
    EXPECT_TRUE(m_view.zoom().whole());
    m_host.allowed = true;
    m_host.isRecording = true;
    m_view.zoomIn();
    EXPECT_TRUE(m_view.zoom().whole());
    EXPECT_TRUE(m_host.zoomReads.empty());
}

TEST_F(ZoomedViewTest, SelButtonFillsTheViewWithTheSelection)
{
    m_view.setSelection(100, 200);
    m_view.showSelection();
    EXPECT_NEAR(m_view.zoom().framesPerPixel(), double(frameOfColumn(200) - frameOfColumn(100)) / 555, 1e-9);
    EXPECT_EQ(m_view.zoom().firstFrame(), frameOfColumn(100));
}

class MarkerEditTest : public WaveformViewTest {
protected:
    void SetUp() override
    {
        m_frames = {frameOfColumn(100), frameOfColumn(200), frameOfColumn(300)};
        m_view.setTrackMarkers(m_frames, frameOfColumn(400));
        m_view.setSelection(10, 20);
        m_view.drawSelection();
        m_view.compose();
    }
    void ctrlClick(int x)
    {
        send(QEvent::MouseButtonPress, x, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        send(QEvent::MouseButtonRelease, x, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    }
    std::vector<uint64_t> m_frames;
};

TEST_F(MarkerEditTest, DraggingAMarkerMovesItOnceAndLeavesTheSelection)
{
    move(200);
    EXPECT_EQ(m_view.cursor().shape(), Qt::SplitHCursor);
    press(200);
    move(230, true);
    move(260, true);
    release(260);
    using Move = std::pair<std::size_t, uint64_t>;
    EXPECT_EQ(m_host.moves, std::vector<Move>{Move(1, frameOfColumn(260))});
    EXPECT_EQ(m_view.firstEdge(), 10u);
    EXPECT_EQ(m_view.secondEdge(), 20u);
    EXPECT_TRUE(m_host.plays.empty());
}

TEST_F(MarkerEditTest, ADraggedMarkerIsHeldBeforeItsNextNeighbour)
{
    drag(200, 350);
    using Move = std::pair<std::size_t, uint64_t>;
    EXPECT_EQ(m_host.moves, std::vector<Move>{Move(1, m_frames[2] - 1)});
    drag(100, 0);
    EXPECT_EQ(m_host.moves.back(), Move(0, 0));
}

TEST_F(MarkerEditTest, CtrlClickAddsAMarkerAtTheMouseWithoutSelecting)
{
    ctrlClick(150);
    EXPECT_EQ(m_host.added, std::vector<uint64_t>{frameOfColumn(150)});
    EXPECT_EQ(m_view.firstEdge(), 10u);
    EXPECT_EQ(m_view.secondEdge(), 20u);
}

TEST_F(MarkerEditTest, KeysRemoveAndPlayTheSelectedMarkerAndAddAtTheSelection)
{
    key(Qt::Key_Delete);  // nothing selected yet
    EXPECT_TRUE(m_host.removed.empty());
    move(300);
    press(300);
    release(300);
    ASSERT_EQ(m_view.selectedMarker(), std::optional<std::size_t>(2));
    key(Qt::Key_P);
    EXPECT_EQ(m_host.playedFrom, std::vector<uint64_t>{m_frames[2]});
    key(Qt::Key_Delete);
    EXPECT_EQ(m_host.removed, std::vector<std::size_t>{2});
    key(Qt::Key_M);  // at the selection's start
    EXPECT_EQ(m_host.added, std::vector<uint64_t>{frameOfColumn(10)});
    m_view.setSelection(0, 0);
    m_host.cursor = 120.0;
    key(Qt::Key_M);  // at the play cursor
    EXPECT_EQ(m_host.added.back(), frameOfColumn(120));
}

TEST_F(MarkerEditTest, DoubleClickOnAMarkerPlaysFromItElsewhereSelectsAll)
{
    move(200);
    press(200);
    release(200);
    send(QEvent::MouseButtonDblClick, 200, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(m_host.playedFrom, std::vector<uint64_t>{m_frames[1]});
    EXPECT_EQ(m_view.secondEdge(), 20u);
    move(250);
    send(QEvent::MouseButtonDblClick, 250, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(m_view.secondEdge(), 555u);
}

TEST_F(MarkerEditTest, TheStatusLineNamesTheTrackUnderTheMouse)
{
    move(250);
    ASSERT_FALSE(m_host.statuses.empty());
    // 100 columns of 794.6 frames: 1.8 seconds.
    EXPECT_EQ(m_host.statuses.back(), QStringLiteral(" Track 2 of 3 : 0:01"));
    move(350);
    EXPECT_EQ(m_host.statuses.back(), QStringLiteral(" Track 3 of 3 : 0:01"));
    move(450);  // past the last track's end: the take and its selection again
    EXPECT_TRUE(m_host.statuses.back().startsWith(QStringLiteral(" Duration : ")));
}

TEST_F(MarkerEditTest, AZoomedDragPlacesAMarkerToTheFrame)
{
    for (int step = 0; step < 6; ++step)
        m_view.zoomIn();
    const ZoomWindow& window = m_view.zoom();
    m_view.setTrackMarkers({window.frameAt(277)}, kTakeFrames);
    m_view.compose();
    drag(277, 301);
    ASSERT_EQ(m_host.moves.size(), 1u);
    EXPECT_EQ(m_host.moves[0].second, window.frameAt(301));
    EXPECT_LE(window.frameAt(302) - window.frameAt(301), 13u);
}

}
}
