// The waveform view's tests' host: it records what the view asks of it and answers with plain
// values; and the fixture that sends the view mouse events.
#pragma once

#include "capture_test_support.h"

#include "widgets/waveform_view.h"

#include "core/toolkit_binding.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cmath>
#include <utility>
#include <vector>

namespace wavelark::testing {

class FakeHost : public WaveformHost {
public:
    bool selectionAllowed() const override { return allowed; }
    bool recording() const override { return isRecording; }
    double recordingSeconds() const override { return seconds; }
    bool playing() const override { return isPlaying; }
    double playCursor() const override { return cursor; }
    void setPlayCursor(double column) override { cursor = column; }
    void stopPlaying() override
    {
        isPlaying = false;
        ++stops;
    }
    void playSelection(bool tail) override
    {
        isPlaying = true;
        plays.push_back(tail);
    }
    uint32_t takeLength() const override { return length; }
    void setStatusText(const QString& text) override { statuses.push_back(text); }
    void selectionDrawn(uint32_t first, uint32_t second) override
    {
        storedFirst = first;
        storedSecond = second;
    }
    // The zoomed columns of a take whose mono mix at frame f is f % 30000: each column's largest
    // value is that of its last frame (within one rise of the saw).
    bool zoomedColumns(uint64_t firstFrame, double framesPerPixel, int width, std::vector<Column>& columns) override
    {
        zoomReads.push_back({firstFrame, framesPerPixel});
        columns.assign(width, Column{});
        for (int x = 0; x < width; ++x) {
            const auto last = firstFrame + static_cast<uint64_t>(std::floor((x + 1) * framesPerPixel)) - 1;
            columns[x].maximum = static_cast<int16_t>(last % 30000);
        }
        return true;
    }
    bool moveTrackMarker(std::size_t index, uint64_t frame) override
    {
        moves.push_back({index, frame});
        return true;
    }
    bool addTrackMarker(uint64_t frame) override
    {
        added.push_back(frame);
        return true;
    }
    bool removeTrackMarker(std::size_t index) override
    {
        removed.push_back(index);
        return true;
    }
    void playFromFrame(uint64_t frame) override { playedFrom.push_back(frame); }

    bool allowed = true;
    bool isRecording = false;
    double seconds = 0.0;
    bool isPlaying = false;
    double cursor = 0.0;
    int stops = 0;
    std::vector<bool> plays;
    uint32_t length = 10 * 176400;
    std::vector<QString> statuses;
    uint32_t storedFirst = 0;
    uint32_t storedSecond = 0;
    std::vector<std::pair<uint64_t, double>> zoomReads;
    std::vector<std::pair<std::size_t, uint64_t>> moves;
    std::vector<uint64_t> added;
    std::vector<std::size_t> removed;
    std::vector<uint64_t> playedFrom;
};

inline QString timeText(int seconds)
{
    return QString::fromUtf8(g_toolkit.nanosec2time(int64_t{seconds} * 10000000));
}

class WaveformViewTest : public ::testing::Test {
protected:
    WaveformViewTest()
        : m_view(m_host, QRect(0, 0, 555, 115), nullptr)
    {
    }

    void send(QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF position(x, 50);
        QMouseEvent event(type, position, m_view.mapToGlobal(position), button, buttons, modifiers);
        QApplication::sendEvent(&m_view, &event);
    }
    void move(int x, bool held = false)
    {
        send(QEvent::MouseMove, x, Qt::NoButton, held ? Qt::LeftButton : Qt::NoButton);
    }
    void press(int x) { send(QEvent::MouseButtonPress, x, Qt::LeftButton, Qt::LeftButton); }
    void release(int x) { send(QEvent::MouseButtonRelease, x, Qt::LeftButton, Qt::NoButton); }
    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, which, modifiers);
        QApplication::sendEvent(&m_view, &event);
    }
    void drag(int from, int to)
    {
        move(from);
        press(from);
        move(to, true);
        release(to);
    }

    CaptureFixtureState m_fixture;
    FakeHost m_host;
    WaveformView m_view;
};

}
