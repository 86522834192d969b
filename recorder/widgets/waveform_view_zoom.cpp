// The waveform view's zoom: the buttons' steps, the scroll bar, and the zoomed waveform drawn from
// the columns the host reads from the take.

#include "widgets/waveform_view.h"

#include <QPainter>

#include <algorithm>

namespace wavelark {

namespace {

// The zoomed waveform, in the peak cache's pen and scale.
const QColor kWaveformColour(0, 0, 128);
constexpr int kFullScale = 70000;

}

bool WaveformView::zoomAllowed()
{
    if (!m_host.selectionAllowed() || m_host.recording() || m_host.takeLength() < 4)
        return false;
    followTake();
    return true;
}

void WaveformView::followTake()
{
    // A take whose length changed since the zoom was set is a new take: shown whole.
    if (m_zoom.takeBytes() != m_host.takeLength())
        m_zoom.setTake(m_host.takeLength());
}

void WaveformView::zoomOut()
{
    if (zoomAllowed())
        zoomChanged(m_zoom.zoomOut());
}

void WaveformView::zoomIn()
{
    if (zoomAllowed())
        zoomChanged(m_zoom.zoomIn());
}

void WaveformView::showWholeTake()
{
    if (zoomAllowed())
        zoomChanged(m_zoom.showWhole());
}

void WaveformView::showSelection()
{
    if (!zoomAllowed() || !hasSelection())
        return;
    const auto [first, second] = edgeFrames();
    zoomChanged(m_zoom.showRange(first, second));
}

void WaveformView::showTakeStart()
{
    if (zoomAllowed())
        zoomChanged(m_zoom.showStart());
}

void WaveformView::showTakeEnd()
{
    if (zoomAllowed())
        zoomChanged(m_zoom.showEnd());
}

void WaveformView::setScrollPosition(int position)
{
    if (zoomAllowed())
        zoomChanged(m_zoom.setScrollPosition(position));
}

void WaveformView::followPlayCursor()
{
    if (m_zoom.whole() || !m_host.playing() || m_host.recording())
        return;
    const double x = m_zoom.xOf(cursorFrame());
    if (x >= 0.0 && x < m_zoom.width())
        return;
    // A page on: the cursor at the view's left edge. Drawn here, before the picture is composed.
    if (!m_zoom.scrollTo(cursorFrame()))
        return;
    drawZoomedWaveform();
    drawSelection();
    if (m_zoomHandler)
        m_zoomHandler();
}

void WaveformView::zoomChanged(bool changed)
{
    if (!changed)
        return;
    if (!m_zoom.whole())
        drawZoomedWaveform();
    drawSelection();
    compose();
    if (m_zoomHandler)
        m_zoomHandler();
}

void WaveformView::drawZoomedWaveform()
{
    m_zoomedWaveform.fill(Qt::white);
    const int width = m_zoomedWaveform.width();
    const int height = m_zoomedWaveform.height();
    const int middle = height / 2;
    const int scale = height > 0 ? kFullScale / height : kFullScale;
    QPainter painter(&m_zoomedWaveform);
    painter.setPen(kWaveformColour);
    painter.drawLine(0, middle, width - 1, middle);
    if (!m_host.zoomedColumns(m_zoom.firstFrame(), m_zoom.framesPerPixel(), width, m_zoomedColumns))
        return;
    // One vertex at each column's largest and one at its smallest value, as the whole take's
    // polyline zig-zags.
    QPolygon line;
    line.reserve(static_cast<int>(m_zoomedColumns.size()) * 2);
    const int shown = std::min<int>(width, static_cast<int>(m_zoomedColumns.size()));
    for (int x = 0; x < shown; ++x) {
        line << QPoint(x, middle - m_zoomedColumns[x].maximum / scale)
             << QPoint(x, middle - m_zoomedColumns[x].minimum / scale);
    }
    painter.drawPolyline(line);
}

}
