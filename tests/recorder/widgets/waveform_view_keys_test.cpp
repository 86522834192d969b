// The waveform view's keyboard: Shift+arrows move the selection's second edge by a pixel of the
// view, Ctrl+A selects the whole take.

#include "fake_waveform_host.h"

#include "widgets/waveform_view.h"

#include <gtest/gtest.h>

#include <cmath>

namespace wavelark {
namespace {

using testing::WaveformViewTest;

struct EdgeKeyCase {
    const char* name;
    uint32_t first;
    uint32_t second;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    uint32_t expectedFirst;
    uint32_t expectedSecond;
};

class WaveformViewEdgeKeyTest : public WaveformViewTest, public ::testing::WithParamInterface<EdgeKeyCase> {};

TEST_P(WaveformViewEdgeKeyTest, MovesTheSecondEdgeByOneColumnOfTheWholeTake)
{
    const EdgeKeyCase& row = GetParam();
    m_view.setSelection(row.first, row.second);
    key(row.key, row.modifiers);
    EXPECT_EQ(m_view.firstEdge(), row.expectedFirst);
    EXPECT_EQ(m_view.secondEdge(), row.expectedSecond);
    if (row.expectedSecond != row.second) {
        // Kept as the session keeps every selection, and shown on the status line.
        EXPECT_EQ(m_host.storedSecond, row.expectedSecond);
        ASSERT_FALSE(m_host.statuses.empty());
        EXPECT_TRUE(m_host.statuses.back().contains(QStringLiteral("Selection : ")));
    }
    // Moving an edge by key does not start playback.
    EXPECT_TRUE(m_host.plays.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, WaveformViewEdgeKeyTest,
    ::testing::Values(EdgeKeyCase{"ShiftRight", 100, 200, Qt::Key_Right, Qt::ShiftModifier, 100, 201},
                      EdgeKeyCase{"ShiftLeft", 100, 200, Qt::Key_Left, Qt::ShiftModifier, 100, 199},
                      EdgeKeyCase{"SecondEdgeLeftOfTheFirst", 300, 100, Qt::Key_Left, Qt::ShiftModifier, 300, 99},
                      EdgeKeyCase{"FromNothingSelected", 250, 250, Qt::Key_Right, Qt::ShiftModifier, 250, 251},
                      EdgeKeyCase{"HeldAtTheEnd", 100, 555, Qt::Key_Right, Qt::ShiftModifier, 100, 555},
                      EdgeKeyCase{"HeldAtTheStart", 100, 0, Qt::Key_Left, Qt::ShiftModifier, 100, 0},
                      EdgeKeyCase{"ArrowWithoutShift", 100, 200, Qt::Key_Right, Qt::NoModifier, 100, 200},
                      EdgeKeyCase{"CtrlShiftArrow", 100, 200, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier,
                                  100, 200},
                      EdgeKeyCase{"CtrlASelectsAll", 100, 200, Qt::Key_A, Qt::ControlModifier, 0, 555}),
    [](const ::testing::TestParamInfo<EdgeKeyCase>& info) { return std::string(info.param.name); });

TEST_F(WaveformViewTest, CtrlASelectsTheWholeTakeAsADoubleClickDoes)
{
    m_host.cursor = 300.0;
    m_view.setSelection(100, 200);
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_view.firstEdge(), 0u);
    EXPECT_EQ(m_view.secondEdge(), 555u);
    EXPECT_EQ(m_host.cursor, 0.0);
    EXPECT_EQ(m_view.selectionImage().pixel(554, 10), qRgb(255, 255, 255));
}

TEST_F(WaveformViewTest, ZoomedShiftArrowsMoveTheEdgeByOnePixelOfTheZoomEvenOutOfView)
{
    m_view.zoomIn();
    m_view.zoomIn();
    drag(100, 300);
    const auto before = m_view.exactSelection();
    ASSERT_TRUE(before.has_value());
    const double framesPerPixel = m_view.zoom().framesPerPixel();
    ASSERT_LT(framesPerPixel, 300.0);

    key(Qt::Key_Right, Qt::ShiftModifier);
    const auto right = m_view.exactSelection();
    ASSERT_TRUE(right.has_value());
    EXPECT_EQ(right->first, before->first);
    EXPECT_EQ(right->second, static_cast<uint64_t>(std::round(before->second + framesPerPixel)));

    // Scrolled to the take's end, where neither edge is shown: the edge still moves by a pixel.
    m_view.showTakeEnd();
    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    const auto left = m_view.exactSelection();
    ASSERT_TRUE(left.has_value());
    EXPECT_NEAR(static_cast<double>(left->second), static_cast<double>(right->second) - 2 * framesPerPixel, 1.0);
}

TEST_F(WaveformViewTest, KeysChangeNothingWhileRecording)
{
    m_view.setSelection(100, 200);
    m_host.isRecording = true;
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_view.firstEdge(), 100u);
    EXPECT_EQ(m_view.secondEdge(), 200u);
}

}
}
