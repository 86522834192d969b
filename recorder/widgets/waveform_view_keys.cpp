// The waveform view's keyboard (the selection's second edge by a pixel, the whole take, the
// marker keys) and what it tells a screen reader.

#include "widgets/waveform_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace wavelark {

namespace {

// The view is a chart of the take, not a plain area: its role says so.
QAccessibleInterface* waveformAccessible(const QString&, QObject* object)
{
    if (auto* view = dynamic_cast<WaveformView*>(object))
        return new QAccessibleWidget(view, QAccessible::Chart);
    return nullptr;
}

}

void WaveformView::describeForAccessibility()
{
    static std::once_flag factoryInstalled;
    std::call_once(factoryInstalled, [] { QAccessible::installFactory(waveformAccessible); });
    setAccessibleName(QStringLiteral("Waveform"));
    setAccessibleDescription(QStringLiteral("Nothing selected"));
}

void WaveformView::keyPressEvent(QKeyEvent* event)
{
    if (!m_host.selectionAllowed() || m_host.recording()) {
        QWidget::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ShiftModifier && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        moveSecondEdge(event->key() == Qt::Key_Left ? -1 : 1);
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectWholeTake();
        return;
    }
    switch (event->key()) {
    case Qt::Key_M:
        addMarkerAtCursor();
        break;
    case Qt::Key_Delete:
        removeSelectedMarker();
        break;
    case Qt::Key_P:
        playSelectedMarker();
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

void WaveformView::moveSecondEdge(int pixels)
{
    if (m_zoom.whole()) {
        placeEdge(m_secondEdge, m_secondFrame, static_cast<int>(m_secondEdge) + pixels);
    } else {
        // Counted in frames, so an edge outside the zoomed view moves by a pixel too.
        useExactEdges();
        const double moved = static_cast<double>(m_secondFrame) + pixels * m_zoom.framesPerPixel();
        m_secondFrame = static_cast<uint64_t>(std::clamp(std::round(moved), 0.0, double(m_zoom.takeFrames())));
        m_secondEdge = static_cast<uint32_t>(std::lround(m_zoom.columnOf(m_secondFrame)));
    }
    drawSelection();
    compose();
    clearStatusCache();
    updateStatus();
}

void WaveformView::selectWholeTake()
{
    setSelection(0, static_cast<uint32_t>(width()));
    m_host.setPlayCursor(0.0);
    drawSelection();
    compose();
    clearStatusCache();
    updateStatus();
}

}
