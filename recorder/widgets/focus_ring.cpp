// The focus ring over the focused control.

#include "widgets/focus_ring.h"

#include <QApplication>
#include <QPainter>

namespace wavelark {

namespace {

// How far the frame lies outside the control, and its width, in pixels.
constexpr int kRingMargin = 3;
constexpr int kRingWidth = 2;

}

FocusRing::FocusRing(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusMoved(now); });
}

void FocusRing::watch(QWidget* control)
{
    m_watched.insert(control);
    // A watched control that goes is no longer framed (m_framed is a guarded pointer).
    connect(control, &QObject::destroyed, this, [this, control] { m_watched.remove(control); });
}

void FocusRing::focusMoved(QWidget* now)
{
    // Only after the keyboard moved the focus, as the style draws its rectangles.
    if (!now || !m_watched.contains(now) || !now->window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        m_framed = nullptr;
        hide();
        return;
    }
    m_framed = now;
    setGeometry(now->geometry().adjusted(-kRingMargin, -kRingMargin, kRingMargin, kRingMargin));
    raise();
    show();
    update();
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(kFocusFrameColour, kRingWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = kRingWidth / 2.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 3.0, 3.0);
}

}
