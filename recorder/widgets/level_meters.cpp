// Drawing the level meters.

#include "widgets/level_meters.h"

#include "widgets/skin.h"

#include <QPainter>

#include <algorithm>

namespace wavelark {

void drawLevelMeter(QPainter& painter, const Skin& skin, int x, double peak)
{
    // The timer's fall can take a peak a little below zero (and capture a little above one):
    // drawn unclamped, the unlit part would run past the meter's bottom into the window.
    peak = std::clamp(peak, 0.0, 1.0);
    // Both products are truncated toward zero.
    const int unlitSegments = static_cast<int>((1.0 - peak) * kMeterSegments);
    const int litSegments = static_cast<int>(peak * kMeterSegments);
    painter.setBrushOrigin(x, kMeterTop);
    const int unlitBottom = kMeterTop + unlitSegments * kMeterSegmentHeight;
    if (unlitBottom > kMeterTop)
        painter.fillRect(QRect(x, kMeterTop, kMeterWidth, unlitBottom - kMeterTop), skin.meterUnlitBrush);
    const int litTop = kMeterBottom - litSegments * kMeterSegmentHeight;
    if (litTop < kMeterBottom)
        painter.fillRect(QRect(x, litTop, kMeterWidth, kMeterBottom - litTop), skin.meterLitBrush);
    painter.setBrushOrigin(0, 0);
}

void drawMeterPanel(QPainter& painter)
{
    const QRect panel(kLeftMeterX - 8, kMeterTop - 8, kRightMeterX + kMeterWidth + 8 - (kLeftMeterX - 8), kMeterBottom - kMeterTop + 16);
    painter.fillRect(panel, QColor(38, 44, 54));
    painter.setPen(QColor(150, 156, 168));
    painter.drawLine(panel.topLeft(), panel.topRight());
    painter.drawLine(panel.topLeft(), panel.bottomLeft());
    painter.setPen(QColor(250, 252, 255));
    painter.drawLine(panel.bottomLeft() + QPoint(0, 1), panel.bottomRight() + QPoint(1, 1));
    painter.drawLine(panel.topRight() + QPoint(1, 0), panel.bottomRight() + QPoint(1, 1));
    painter.setPen(QColor(120, 130, 146));
    for (int segment = 0; segment <= kMeterSegments; ++segment) {
        const int y = kMeterTop + segment * kMeterSegmentHeight - 1;
        const int length = segment % 5 == 0 ? 4 : 2;
        painter.drawLine(panel.left() + 2, y, panel.left() + 1 + length, y);
        painter.drawLine(panel.right() - 1 - length, y, panel.right() - 2, y);
        painter.drawLine(kLeftMeterX + kMeterWidth + 1, y, kRightMeterX - 2, y);
    }
}

}
