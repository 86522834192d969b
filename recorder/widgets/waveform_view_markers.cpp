// The waveform view's track markers by mouse and key: selecting, dragging, adding, removing and
// playing from a marker, and the track under the mouse on the status line. The host keeps the
// markers; the view moves its own copy while a drag runs and hands the host the result once.

#include "widgets/waveform_view.h"

#include "widgets/time_ruler.h"

#include "core/take_format.h"

#include <QMouseEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace wavelark {

namespace {

// How close to a marker's line the mouse must be to take it.
constexpr int kMarkerReach = 2;

}

void WaveformView::setTrackMarkers(std::vector<uint64_t> frames, uint64_t end)
{
    m_markerFrames = std::move(frames);
    m_markerEnd = end;
    if (m_selectedMarker && *m_selectedMarker >= m_markerFrames.size())
        m_selectedMarker.reset();
    m_draggedMarker.reset();
}

std::vector<double> WaveformView::trackMarkerColumns() const
{
    const ZoomWindow whole(m_host.takeLength());
    std::vector<double> columns;
    for (const uint64_t frame : m_markerFrames)
        columns.push_back(whole.columnOf(frame));
    return columns;
}

std::optional<int> WaveformView::markerX(std::size_t index) const
{
    const uint64_t frame = m_markerFrames[index];
    if (m_zoom.whole())
        return trackMarkerX(ZoomWindow(m_host.takeLength()).columnOf(frame));
    const double x = m_zoom.xOf(frame);
    if (x < 0.0 || x > width() - 1)
        return std::nullopt;
    return static_cast<int>(std::floor(x));
}

std::optional<std::size_t> WaveformView::markerNear(int x) const
{
    std::optional<std::size_t> nearest;
    int distance = kMarkerReach + 1;
    for (std::size_t index = 0; index < m_markerFrames.size(); ++index) {
        const std::optional<int> markerAt = markerX(index);
        if (markerAt && std::abs(*markerAt - x) < distance) {
            distance = std::abs(*markerAt - x);
            nearest = index;
        }
    }
    return nearest;
}

bool WaveformView::markerPress(const QMouseEvent& event)
{
    const int x = event.position().toPoint().x();
    if (event.modifiers() & Qt::ControlModifier) {
        if (m_host.addTrackMarker(m_zoom.frameAt(x))) {
            const auto added = std::find(m_markerFrames.begin(), m_markerFrames.end(), m_zoom.frameAt(x));
            if (added != m_markerFrames.end())
                m_selectedMarker = static_cast<std::size_t>(added - m_markerFrames.begin());
            compose();
        }
        return true;
    }
    const std::optional<std::size_t> marker = markerNear(x);
    if (!marker) {
        if (m_selectedMarker) {
            m_selectedMarker.reset();
            compose();
        }
        return false;
    }
    m_selectedMarker = marker;
    m_draggedMarker = marker;
    m_markerMoved = false;
    compose();
    return true;
}

bool WaveformView::markerMove(const QMouseEvent& event)
{
    if (!m_draggedMarker || event.buttons() != Qt::LeftButton)
        return false;
    const std::size_t index = *m_draggedMarker;
    // Held strictly between its neighbours and before the last track's end, as the host holds it.
    const uint64_t lowest = index > 0 ? m_markerFrames[index - 1] + 1 : 0;
    const uint64_t next = index + 1 < m_markerFrames.size() ? m_markerFrames[index + 1] : m_markerEnd;
    const uint64_t highest = next > 0 ? next - 1 : 0;
    const uint64_t frame = std::clamp(m_zoom.frameAt(event.position().toPoint().x()), lowest, std::max(lowest, highest));
    if (frame != m_markerFrames[index]) {
        m_markerFrames[index] = frame;
        m_markerMoved = true;
        compose();
    }
    setCursor(Qt::SplitHCursor);
    return true;
}

bool WaveformView::markerRelease()
{
    if (!m_draggedMarker)
        return false;
    const std::size_t index = *m_draggedMarker;
    m_draggedMarker.reset();
    if (m_markerMoved && !m_host.moveTrackMarker(index, m_markerFrames[index]))
        compose();
    m_markerMoved = false;
    return true;
}

void WaveformView::showTrackUnderMouse(int x)
{
    if (m_markerFrames.empty())
        return;
    const uint64_t frame = m_zoom.frameAt(x);
    const auto after = std::upper_bound(m_markerFrames.begin(), m_markerFrames.end(), frame);
    if (after == m_markerFrames.begin() || frame >= m_markerEnd) {
        restoreStatus();
        return;
    }
    const auto index = static_cast<std::size_t>(after - m_markerFrames.begin()) - 1;
    const uint64_t end = after == m_markerFrames.end() ? m_markerEnd : *after;
    const double seconds = static_cast<double>(end - m_markerFrames[index]) / kTakeSampleRate;
    m_host.setStatusText(QStringLiteral(" Track %1 of %2 : %3")
                             .arg(index + 1)
                             .arg(m_markerFrames.size())
                             .arg(minutesText(seconds)));
    m_trackStatusShown = true;
}

void WaveformView::restoreStatus()
{
    if (!m_trackStatusShown)
        return;
    m_trackStatusShown = false;
    m_host.setStatusText(QStringLiteral(" Duration : ") + wholeSecondsText(takeSeconds()));
    clearStatusCache();
    updateStatus();
}

void WaveformView::addMarkerAtCursor()
{
    uint64_t frame = cursorFrame();
    if (!m_host.playing() && hasSelection()) {
        const auto [first, second] = edgeFrames();
        frame = std::min(first, second);
    }
    if (!m_host.addTrackMarker(frame))
        return;
    const auto added = std::find(m_markerFrames.begin(), m_markerFrames.end(), frame);
    if (added != m_markerFrames.end())
        m_selectedMarker = static_cast<std::size_t>(added - m_markerFrames.begin());
    compose();
}

void WaveformView::removeSelectedMarker()
{
    if (!m_selectedMarker)
        return;
    const std::size_t index = *m_selectedMarker;
    m_selectedMarker.reset();
    m_host.removeTrackMarker(index);
    compose();
}

void WaveformView::playSelectedMarker()
{
    if (m_selectedMarker && *m_selectedMarker < m_markerFrames.size())
        m_host.playFromFrame(m_markerFrames[*m_selectedMarker]);
}

}
