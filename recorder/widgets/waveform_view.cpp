#include "widgets/waveform_view.h"

#include "widgets/time_ruler.h"

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
const QColor kSelectedMarkerColour(224, 0, 0);
constexpr int kMarkerNumberPixels = 9;

}

WaveformView::WaveformView(WaveformHost& host, const QRect& geometry, QWidget* parent)
    : QWidget(parent)
    , m_host(host)
    , m_waveform(geometry.size(), QImage::Format_RGB32)
    , m_selection(geometry.size(), QImage::Format_RGB32)
    , m_composed(geometry.size(), QImage::Format_RGB32)
    , m_zoom(0, geometry.width())
    , m_zoomedWaveform(geometry.size(), QImage::Format_RGB32)
{
    setGeometry(geometry);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    // Tab reaches the view as a click does; its keys then select and act on the markers.
    setFocusPolicy(Qt::StrongFocus);
    describeForAccessibility();
    clearWaveform();
    clearSelectionImage();
    clearComposed();
}

void WaveformView::clearWaveform()
{
    m_waveform.fill(Qt::white);
    // A new picture is a new take: it is shown whole.
    const bool wasZoomed = !m_zoom.whole();
    m_zoom.setTake(m_host.takeLength());
    if (wasZoomed && m_zoomHandler)
        m_zoomHandler();
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
    m_exactEdges = false;
}

std::optional<std::pair<uint64_t, uint64_t>> WaveformView::exactSelection() const
{
    if (!m_exactEdges)
        return std::nullopt;
    return std::pair{m_firstFrame, m_secondFrame};
}

uint64_t WaveformView::frameOfEdge(uint32_t column) const
{
    return ZoomWindow(m_host.takeLength()).frameOfColumn(column);
}

double WaveformView::edgeX(uint64_t frame, uint32_t column) const
{
    if (m_zoom.whole())
        return static_cast<double>(column);
    return m_zoom.xOf(m_exactEdges ? frame : frameOfEdge(column));
}

std::pair<uint64_t, uint64_t> WaveformView::edgeFrames() const
{
    if (m_exactEdges)
        return {m_firstFrame, m_secondFrame};
    return {frameOfEdge(m_firstEdge), frameOfEdge(m_secondEdge)};
}

bool WaveformView::hasSelection() const
{
    return m_exactEdges ? m_firstFrame != m_secondFrame : m_firstEdge != m_secondEdge;
}

bool WaveformView::firstEdgeLarger() const
{
    return m_exactEdges ? m_secondFrame < m_firstFrame : m_secondEdge < m_firstEdge;
}

void WaveformView::placeEdge(uint32_t& edge, uint64_t& frame, int x)
{
    if (m_zoom.whole()) {
        edge = columnAt(x);
        frame = frameOfEdge(edge);
        return;
    }
    useExactEdges();
    frame = m_zoom.frameAt(x);
    edge = static_cast<uint32_t>(std::lround(m_zoom.columnOf(frame)));
}

void WaveformView::useExactEdges()
{
    // Finer than a column: both edges are kept as frames from now on.
    if (m_exactEdges)
        return;
    m_firstFrame = frameOfEdge(m_firstEdge);
    m_secondFrame = frameOfEdge(m_secondEdge);
    m_exactEdges = true;
}

void WaveformView::drawSelection()
{
    m_selection.fill(Qt::black);
    const double firstX = edgeX(m_firstFrame, m_firstEdge);
    const double secondX = edgeX(m_secondFrame, m_secondEdge);
    const int from = static_cast<int>(std::lround(std::clamp(std::min(firstX, secondX), 0.0, double(width()))));
    const int to = static_cast<int>(std::lround(std::clamp(std::max(firstX, secondX), 0.0, double(width()))));
    if (to > from) {
        QPainter painter(&m_selection);
        painter.fillRect(QRect(from, 0, to - from, m_selection.height()), Qt::white);
    }
    m_host.selectionDrawn(m_firstEdge, m_secondEdge);
    reportSelectionTimes();
}

void WaveformView::compose()
{
    followTake();
    followPlayCursor();
    m_composed = m_zoom.whole() ? m_waveform.copy() : m_zoomedWaveform.copy();
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
    if (!m_zoom.whole())
        drawTimeRuler(m_composed, m_zoom);
    drawTrackMarkers();
    if (!m_host.recording()) {
        // The cursor pen is white drawn with XOR: the column is inverted from row 0 to the bottom.
        const int column = m_zoom.whole() ? static_cast<int>(m_host.playCursor())
                                          : static_cast<int>(std::floor(m_zoom.xOf(cursorFrame())));
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
    if (m_markerFrames.empty())
        return;
    QPainter painter(&m_composed);
    QFont font = painter.font();
    font.setPixelSize(kMarkerNumberPixels);
    painter.setFont(font);
    const int height = m_composed.height();
    // Below the ruler when zoomed.
    const int numberTop = m_zoom.whole() ? 1 : kRulerHeight + 1;
    for (std::size_t index = 0; index < m_markerFrames.size(); ++index) {
        const std::optional<int> shown = markerX(index);
        if (!shown)
            continue;
        const int x = *shown;
        painter.setPen(m_selectedMarker == index ? kSelectedMarkerColour : kMarkerColour);
        painter.drawLine(x, 0, x, height - 1);
        // The number to the right of its line, or to the left at the view's right edge.
        const QString number = QString::number(index + 1);
        const int textWidth = painter.fontMetrics().horizontalAdvance(number);
        const int textX = x + 2 + textWidth < m_composed.width() ? x + 2 : x - 2 - textWidth;
        painter.drawText(QPoint(textX, numberTop + painter.fontMetrics().ascent()), number);
    }
}

double WaveformView::takeSeconds() const
{
    return wavelark::takeSeconds(m_host.takeLength());
}

void WaveformView::updateStatus()
{
    if (!hasSelection())
        return;
    double selectionBytes = 0.0;
    if (m_exactEdges) {
        selectionBytes = static_cast<double>(m_firstFrame > m_secondFrame ? m_firstFrame - m_secondFrame
                                                                          : m_secondFrame - m_firstFrame)
                         * kTakeFrameBytes;
    } else {
        const uint32_t length = m_host.takeLength();
        const int64_t first = columnToOffset(m_firstEdge, length);
        const int64_t second = columnToOffset(m_secondEdge, length);
        selectionBytes = static_cast<double>(std::llabs(second - first));
    }
    const QString text = QStringLiteral(" Duration : ") + wholeSecondsText(takeSeconds())
                         + QStringLiteral(" / Selection : ") + wholeSecondsText(wavelark::takeSeconds(selectionBytes));
    if (text != m_statusCache)
        m_host.setStatusText(text);
    m_statusCache = text;
}

QString WaveformView::selectionTimesText() const
{
    const auto [first, second] = edgeFrames();
    if (first == second || !m_host.selectionAllowed())
        return QString();
    const uint64_t start = std::min(first, second);
    const uint64_t end = std::max(first, second);
    return exactTimeText(start) + QStringLiteral(" - ") + exactTimeText(end) + QStringLiteral(" (")
           + exactTimeText(end - start) + QStringLiteral(")");
}

void WaveformView::reportSelectionTimes()
{
    const QString text = selectionTimesText();
    if (text == m_selectionTimes)
        return;
    m_selectionTimes = text;
    setToolTip(text);
    setAccessibleDescription(text.isEmpty() ? QStringLiteral("Nothing selected") : QStringLiteral("Selected ") + text);
    if (m_selectionTimesHandler)
        m_selectionTimesHandler(text);
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

uint64_t WaveformView::cursorFrame() const
{
    return m_zoom.frameOfColumn(m_host.playCursor());
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
        restoreStatus();
        return;
    }
    if (markerMove(*event))
        return;
    const int x = position.x();
    auto near = [x](double edge) { return std::abs(x - static_cast<int>(std::lround(edge))) <= kEdgeReach; };
    const bool onMarker = event->buttons() == Qt::NoButton && markerNear(x).has_value();
    if (!hasSelection() || onMarker)
        m_hoverEdge = 0;
    else
        m_hoverEdge = near(edgeX(m_firstFrame, m_firstEdge)) ? 1 : near(edgeX(m_secondFrame, m_secondEdge)) ? 2 : 0;
    if (onMarker)
        setCursor(Qt::SplitHCursor);
    else if (m_hoverEdge != 0)
        setCursor(m_edgeCursor);
    else
        unsetCursor();
    if (event->buttons() == Qt::NoButton)
        showTrackUnderMouse(x);
    if (event->buttons() == Qt::LeftButton && event->modifiers() == Qt::NoModifier) {
        if (m_dragMode == 0) {
            placeEdge(m_firstEdge, m_firstFrame, m_pressX);
            placeEdge(m_secondEdge, m_secondFrame, x);
            m_dragged = true;
        } else if (m_dragMode == 1) {
            placeEdge(m_firstEdge, m_firstFrame, x);
        } else {
            placeEdge(m_secondEdge, m_secondFrame, x);
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
    if (markerPress(*event))
        return;
    m_pressX = position.x();
    m_host.setStatusText(QStringLiteral(" Duration : ") + wholeSecondsText(takeSeconds()));
    m_trackStatusShown = false;
    clearStatusCache();
    updateStatus();
    if (m_hoverEdge == 1 || m_hoverEdge == 2) {
        m_dragMode = m_hoverEdge;
        return;
    }
    m_dragMode = 0;
    placeEdge(m_firstEdge, m_firstFrame, position.x());
    m_secondEdge = m_firstEdge;
    m_secondFrame = m_firstFrame;
    m_host.setPlayCursor(m_zoom.whole() ? static_cast<double>(m_firstEdge) : m_zoom.columnOf(m_firstFrame));
    drawSelection();
    compose();
    if (m_host.playing())
        m_host.stopPlaying();
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_host.selectionAllowed())
        return;
    if (markerRelease())
        return;
    const bool rightEdgeDragged = (m_dragMode == 1 && firstEdgeLarger())
                                  || (m_dragMode == 2 && !firstEdgeLarger() && hasSelection());
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
    if (hasSelection())
        m_host.playSelection(tail);
}

void WaveformView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_host.selectionAllowed() || m_host.recording()
        || !inside(m_lastPosition))
        return;
    if (const std::optional<std::size_t> marker = markerNear(m_lastPosition.x())) {
        m_selectedMarker = marker;
        playSelectedMarker();
        return;
    }
    selectWholeTake();
}

void WaveformView::leaveEvent(QEvent*)
{
    restoreStatus();
}

}
