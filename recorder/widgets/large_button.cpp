// The button painter.

#include "widgets/large_button.h"

#include "widgets/focus_ring.h"

#include <QPainter>

#include <cmath>

namespace wavelark {

LargeButtonWidget::LargeButtonWidget(const QString& caption, const Skin& skin, LargeButton which,
                                     QColor tint, QWidget* parent)
    : QPushButton(caption, parent)
    , m_skin(skin)
    , m_which(which)
    , m_tint(tint)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
    // The caption changes ("Stop"); the name a screen reader says stays the button's own.
    setAccessibleName(caption);
}

void LargeButtonWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect item = rect();
    const bool disabled = !isEnabled();
    const bool pressed = isDown();
    const bool hot = underMouse() && !disabled;

    const double redFraction = m_tint.red() / 255.0;
    const double greenFraction = m_tint.green() / 255.0;
    const double blueFraction = m_tint.blue() / 255.0;
    const double step = 100.0 / (item.height() - 6);

    // The window's pattern behind the rounded corners, lined up with the window's client area
    // (the button's parent), where the pattern starts at the origin.
    painter.setBrushOrigin(-pos());
    painter.fillRect(item, m_skin.backgroundBrush);
    painter.setBrushOrigin(0, 0);

    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::white, 1.0));
    painter.setBrush(QColor(160, 160, 160));
    painter.drawRoundedRect(QRectF(item).adjusted(0.5, 0.5, -0.5, -0.5), 5.0, 5.0);
    painter.setRenderHint(QPainter::Antialiasing, false);

    double level = hot ? 255.0 : 240.0;
    for (int y = item.top() + 4; y <= item.bottom() - 4; ++y) {
        painter.setPen(QColor(static_cast<int>(level * redFraction), static_cast<int>(level * greenFraction),
                              static_cast<int>(level * blueFraction)));
        // From left + 4 up to right - 4, the right end excluded.
        painter.drawLine(item.left() + 4, y, item.right() - 4, y);
        if (level > 100.0)
            level -= step;
    }

    const int offset = pressed ? 1 : 0;
    painter.setFont(m_skin.smallFont);
    painter.setPen(disabled ? QColor(128, 128, 128) : QColor(255, 255, 255));
    const int textHeight = painter.fontMetrics().height();
    const int textTop = item.bottom() + 1 - textHeight - 5 + offset;
    painter.drawText(QRect(item.left(), textTop, item.width(), textHeight), Qt::AlignHCenter | Qt::AlignTop, text());

    const ButtonImages& images = m_skin.images(m_which);
    painter.drawPixmap(kLargeButtonImageX, item.top() + 7 + offset, disabled ? images.grey : images.normal);

    // The keyboard focus, once the keyboard has moved it (as the style's own buttons show it):
    // a frame just inside the grey border, over the gradient.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(kFocusFrameColour, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(item).adjusted(3.0, 3.0, -3.0, -3.0), 3.0, 3.0);
    }
}

}
