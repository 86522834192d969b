// Drawing the level meters.

#include "widgets/level_meters.h"

#include "widgets/meter_scale.h"
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

void drawScaledMeter(QPainter& painter, const Skin& skin, int x, int litSegments)
{
    litSegments = std::clamp(litSegments, 0, kMeterSegments);
    painter.setBrushOrigin(x, kMeterTop);
    const int litTop = kMeterBottom - litSegments * kMeterSegmentHeight;
    if (litTop > kMeterTop)
        painter.fillRect(QRect(x, kMeterTop, kMeterWidth, litTop - kMeterTop), skin.meterUnlitBrush);
    if (litTop < kMeterBottom)
        painter.fillRect(QRect(x, litTop, kMeterWidth, kMeterBottom - litTop), skin.meterLitBrush);
    painter.setBrushOrigin(0, 0);
}

void drawHeldSegment(QPainter& painter, const Skin& skin, int x, int litSegments, int heldSegment)
{
    if (heldSegment <= litSegments || heldSegment > kMeterSegments)
        return;
    painter.setBrushOrigin(x, kMeterTop);
    painter.fillRect(QRect(x, kMeterBottom - heldSegment * kMeterSegmentHeight, kMeterWidth, kMeterSegmentHeight),
                     skin.meterLitBrush);
    painter.setBrushOrigin(0, 0);
}

QRect clipLampRect(int meterX)
{
    return QRect(meterX, kMeterTop - 22, kMeterWidth, 10);
}

void drawClipLamp(QPainter& painter, int meterX, bool lit)
{
    const QRect lamp = clipLampRect(meterX);
    painter.setPen(QColor(38, 44, 54));
    painter.setBrush(lit ? QColor(236, 32, 32) : QColor(86, 28, 28));
    painter.drawRect(lamp.adjusted(0, 0, -1, -1));
    painter.setBrush(Qt::NoBrush);
}

void drawMeterPanel(QPainter& painter, MeterScale scale)
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
    if (scale != MeterScale::Decibels)
        return;
    // The levels a user sets by: bright marks across the gap and their numbers left of the panel.
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    for (const double mark : kDecibelMarks) {
        const int y = kMeterBottom - segmentsBelowLevel(mark) * kMeterSegmentHeight - 1;
        painter.setPen(QColor(250, 210, 90));
        painter.drawLine(panel.left() + 1, y, panel.left() + 6, y);
        painter.drawLine(kLeftMeterX + kMeterWidth, y, kRightMeterX - 1, y);
        painter.drawLine(panel.right() - 6, y, panel.right() - 1, y);
        painter.setPen(QColor(60, 66, 78));
        painter.drawText(QRect(panel.left() - 18, y - 6, 16, 12), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(static_cast<int>(mark)));
    }
}

}
