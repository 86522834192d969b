#include "widgets/waveform_view.h"

#include "core/take_format.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace wavelark {

namespace {

const QColor kCaptionColour(255, 100, 100);
const QColor kFrameColour(128, 128, 128);
// How close to an edge the mouse must be to take it.
constexpr int kEdgeReach = 2;
// The colour channels of a 32-bit pixel (its alpha stays opaque).
constexpr QRgb kColourBits = 0x00FFFFFF;
// The track markers: a line over the view's height and the track's number at its top.
const QColor kMarkerColour(208, 96, 0);
constexpr int kMarkerNumberPixels = 9;

}

WaveformView::WaveformView(WaveformHost& host, const QRect& geometry, QWidget* parent)
    : QWidget(parent)
    , m_host(host)
    , m_waveform(geometry.size(), QImage::Format_RGB32)
    , m_selection(geometry.size(), QImage::Format_RGB32)
    , m_composed(geometry.size(), QImage::Format_RGB32)
{
    setGeometry(geometry);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    clearWaveform();
    clearSelectionImage();
    clearComposed();
}

void WaveformView::clearWaveform()
{
    m_waveform.fill(Qt::white);
}

void WaveformView::clearComposed()
{
    m_composed.fill(Qt::white);
}

void WaveformView::clearSelectionImage()
{
    m_selection.fill(Qt::black);
}

void WaveformView::setSelection(uint32_t firstEdge, uint32_t secondEdge)
{
    m_firstEdge = firstEdge;
    m_secondEdge = secondEdge;
}

void WaveformView::drawSelection()
{
    m_selection.fill(Qt::black);
    const int from = static_cast<int>(std::min(m_firstEdge, m_secondEdge));
    const int to = static_cast<int>(std::max(m_firstEdge, m_secondEdge));
    if (to > from) {
        QPainter painter(&m_selection);
        painter.fillRect(QRect(from, 0, to - from, m_selection.height()), Qt::white);
    }
    m_host.selectionDrawn(m_firstEdge, m_secondEdge);
}

void WaveformView::compose()
{
    m_composed = m_waveform.copy();
    const int width = m_composed.width();
    const int height = m_composed.height();
    if (m_host.recording()) {
        QPainter painter(&m_composed);
        painter.setFont(m_captionFont);
        painter.setPen(kCaptionColour);
        painter.drawText(m_composed.rect(), Qt::AlignCenter | Qt::TextSingleLine,
                         QStringLiteral("RECORDING ") + wholeSecondsText(m_host.recordingSeconds()));
    }
    // The selection image combined by XOR: its white band inverts what lies under it.
    for (int row = 0; row < height; ++row) {
        auto* composed = reinterpret_cast<QRgb*>(m_composed.scanLine(row));
        const auto* selection = reinterpret_cast<const QRgb*>(m_selection.constScanLine(row));
        for (int x = 0; x < width; ++x)
            composed[x] ^= selection[x] & kColourBits;
    }
    drawTrackMarkers();
    if (!m_host.recording()) {
        // The cursor pen is white drawn with XOR: the column is inverted from row 0 to the bottom.
        const int column = static_cast<int>(m_host.playCursor());
        if (column >= 0 && column < width) {
            for (int row = 0; row < height; ++row)
                reinterpret_cast<QRgb*>(m_composed.scanLine(row))[column] ^= kColourBits;
        }
    }
    {
        QPainter painter(&m_composed);
        painter.setPen(QPen(kFrameColour, 1));
        const int right = width - 1;
        const int bottom = height - 1;
        painter.drawPolyline(QPolygon({QPoint(0, 0), QPoint(right, 0), QPoint(right, bottom), QPoint(0, bottom),
                                       QPoint(0, 0)}));
    }
    update();
}

int WaveformView::trackMarkerX(double column) const
{
    // Columns are view pixels, as the selection's edges are; a marker at either end of the take
    // is drawn just inside the frame, which would hide it.
    const int x = static_cast<int>(std::lround(std::clamp(column, 0.0, kColumnSpan)));
    return std::clamp(x, 1, std::max(1, m_composed.width() - 2));
}

void WaveformView::drawTrackMarkers()
{
    if (m_trackColumns.empty())
        return;
    QPainter painter(&m_composed);
    QFont font = painter.font();
    font.setPixelSize(kMarkerNumberPixels);
    painter.setFont(font);
    const int height = m_composed.height();
    for (std::size_t index = 0; index < m_trackColumns.size(); ++index) {
        const int x = trackMarkerX(m_trackColumns[index]);
        painter.setPen(kMarkerColour);
        painter.drawLine(x, 0, x, height - 1);
        // The number to the right of its line, or to the left at the view's right edge.
        const QString number = QString::number(index + 1);
        const int textWidth = painter.fontMetrics().horizontalAdvance(number);
        const int textX = x + 2 + textWidth < m_composed.width() ? x + 2 : x - 2 - textWidth;
        painter.drawText(QPoint(textX, 1 + painter.fontMetrics().ascent()), number);
    }
}

double WaveformView::takeSeconds() const
{
    return wavelark::takeSeconds(m_host.takeLength());
}

void WaveformView::updateStatus()
{
    if (m_firstEdge == m_secondEdge)
        return;
    const uint32_t length = m_host.takeLength();
    const int64_t first = columnToOffset(m_firstEdge, length);
    const int64_t second = columnToOffset(m_secondEdge, length);
    const double selectionBytes = static_cast<double>(std::llabs(second - first));
    const QString text = QStringLiteral(" Duration : ") + wholeSecondsText(takeSeconds())
                         + QStringLiteral(" / Selection : ") + wholeSecondsText(wavelark::takeSeconds(selectionBytes));
    if (text != m_statusCache)
        m_host.setStatusText(text);
    m_statusCache = text;
}

bool WaveformView::inside(const QPoint& position) const
{
    return position.x() >= 0 && position.x() <= width() && position.y() >= 0 && position.y() <= height();
}

uint32_t WaveformView::columnAt(int x) const
{
    // A drag may leave the view; the edges stay within it.
    return static_cast<uint32_t>(std::clamp(x, 0, width()));
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_composed);
}

void WaveformView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_host.selectionAllowed() || m_host.recording())
        return;
    const QPoint position = event->position().toPoint();
    m_lastPosition = position;
    if (!inside(position)) {
        unsetCursor();
        return;
    }
    const int x = position.x();
    auto near = [x](uint32_t edge) { return std::abs(x - static_cast<int>(edge)) <= kEdgeReach; };
    if (m_firstEdge == m_secondEdge)
        m_hoverEdge = 0;
    else
        m_hoverEdge = near(m_firstEdge) ? 1 : near(m_secondEdge) ? 2 : 0;
    if (m_hoverEdge != 0)
        setCursor(m_edgeCursor);
    else
        unsetCursor();
    if (event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier) {
        if (m_dragMode == 0) {
            m_firstEdge = columnAt(m_pressX);
            m_secondEdge = columnAt(x);
            m_dragged = true;
        } else if (m_dragMode == 1) {
            m_firstEdge = columnAt(x);
        } else {
            m_secondEdge = columnAt(x);
        }
        drawSelection();
        compose();
        updateStatus();
    }
}

void WaveformView::mousePressEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !m_host.selectionAllowed() || m_host.recording() || !inside(position))
        return;
    m_lastPosition = position;
    m_pressX = position.x();
    m_host.setStatusText(QStringLiteral(" Duration : ") + wholeSecondsText(takeSeconds()));
    clearStatusCache();
    updateStatus();
    if (m_hoverEdge == 1 || m_hoverEdge == 2) {
        m_dragMode = m_hoverEdge;
        return;
    }
    m_dragMode = 0;
    m_firstEdge = m_secondEdge = columnAt(position.x());
    m_host.setPlayCursor(m_firstEdge);
    drawSelection();
    compose();
    if (m_host.playing())
        m_host.stopPlaying();
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_host.selectionAllowed())
        return;
    const bool rightEdgeDragged = (m_dragMode == 1 && m_secondEdge < m_firstEdge)
                                  || (m_dragMode == 2 && m_firstEdge < m_secondEdge);
    bool tail = false;
    if (rightEdgeDragged) {
        if (m_host.playing())
            m_host.stopPlaying();
        tail = true;
    } else {
        if (m_dragMode == 0 && !m_dragged)
            return;
        m_dragged = false;
        if (m_host.playing())
            m_host.stopPlaying();
    }
    m_dragMode = 0;
    unsetCursor();
    if (m_firstEdge != m_secondEdge)
        m_host.playSelection(tail);
}

void WaveformView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_host.selectionAllowed() || m_host.recording()
        || !inside(m_lastPosition))
        return;
    m_firstEdge = 0;
    m_secondEdge = static_cast<uint32_t>(width());
    m_host.setPlayCursor(0.0);
    drawSelection();
    compose();
    clearStatusCache();
    updateStatus();
}

}
