// DrawSolidRectangle: a filled rectangle with an outline, drawn with a raster mix mode, on the
// caller's QPainter.
//
// The rectangle covers the pixels from left to right - 1 and top to bottom - 1 (the right and
// bottom edges are outside it). The outline, pen width pixels thick, lies inside those bounds and
// the brush fills what is within the outline, so no pixel is painted twice: drawing the same
// rectangle twice with the XOR mode gives back the picture as it was. With the null pen there
// is no outline and the fill stops one pixel short of the right and bottom edges, as rectangles
// drawn without a pen always have.

#include "sorvak.h"

#include "helpers/colour_reference.h"

#include <QPainter>

#include <algorithm>
#include <utility>

namespace {

// Pen styles; 0 solid and 6 inside frame draw solid, as does any unknown style.
enum PenStyle { kDash = 1, kDot = 2, kDashDot = 3, kDashDotDot = 4, kNullPen = 5 };

// The drawing modes 0 to 3 name the usual mix modes; any other value is a mix mode itself
// (1 to 16, black to white). Unknown values draw as copy.
QPainter::CompositionMode compositionForMode(int mode)
{
    static const QPainter::CompositionMode kMixModes[17] = {
        QPainter::CompositionMode_Source,                        // (unused)
        QPainter::RasterOp_ClearDestination,                     // 1 black
        QPainter::RasterOp_NotSourceAndNotDestination,           // 2 not merge pen
        QPainter::RasterOp_NotSourceAndDestination,              // 3 mask not pen
        QPainter::RasterOp_NotSource,                            // 4 not copy pen
        QPainter::RasterOp_SourceAndNotDestination,              // 5 mask pen not
        QPainter::RasterOp_NotDestination,                       // 6 not
        QPainter::RasterOp_SourceXorDestination,                 // 7 xor pen
        QPainter::RasterOp_NotSourceOrNotDestination,            // 8 not mask pen
        QPainter::RasterOp_SourceAndDestination,                 // 9 mask pen
        QPainter::RasterOp_NotSourceXorDestination,              // 10 not xor pen
        QPainter::CompositionMode_Destination,                   // 11 no operation
        QPainter::RasterOp_NotSourceOrDestination,               // 12 merge not pen
        QPainter::CompositionMode_Source,                        // 13 copy pen
        QPainter::RasterOp_SourceOrNotDestination,               // 14 merge pen not
        QPainter::RasterOp_SourceOrDestination,                  // 15 merge pen
        QPainter::RasterOp_SetDestination,                       // 16 white
    };
    static const int kDrawingModes[4] = {13, 9, 15, 7};
    const int mixMode = mode >= 0 && mode < 4 ? kDrawingModes[mode] : mode;
    return mixMode >= 1 && mixMode <= 16 ? kMixModes[mixMode] : QPainter::CompositionMode_Source;
}

Qt::PenStyle dashesOf(int style)
{
    switch (style) {
    case kDash: return Qt::DashLine;
    case kDot: return Qt::DotLine;
    case kDashDot: return Qt::DashDotLine;
    case kDashDotDot: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}

void drawSolidOutline(QPainter& painter, const QRect& bounds, int width, const QColor& colour)
{
    const int across = std::min(width, (bounds.height() + 1) / 2);
    const int down = std::min(width, (bounds.width() + 1) / 2);
    // Top and bottom bands span the whole width; the side bands fill only between them.
    painter.fillRect(QRect(bounds.left(), bounds.top(), bounds.width(), across), colour);
    if (bounds.height() > across)
        painter.fillRect(QRect(bounds.left(), bounds.bottom() - across + 1, bounds.width(), across), colour);
    const int sideHeight = bounds.height() - 2 * across;
    if (sideHeight > 0) {
        painter.fillRect(QRect(bounds.left(), bounds.top() + across, down, sideHeight), colour);
        if (bounds.width() > down)
            painter.fillRect(QRect(bounds.right() - down + 1, bounds.top() + across, down, sideHeight), colour);
    }
}

// A one-pixel dashed outline, each side ending one pixel before the next begins.
void drawDashedOutline(QPainter& painter, const QRect& bounds, Qt::PenStyle dashes, const QColor& colour)
{
    QPen pen(colour, 0, dashes, Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int left = bounds.left();
    const int top = bounds.top();
    const int right = bounds.right();
    const int bottom = bounds.bottom();
    painter.drawLine(left, top, right - 1, top);
    painter.drawLine(right, top, right, bottom - 1);
    painter.drawLine(right, bottom, left + 1, bottom);
    painter.drawLine(left, bottom, left, top + 1);
}

}

int DrawSolidRectangle(void* painter, int left, int top, int right, int bottom, int penWidth, int penStyle,
                       uint32_t penColour, uint32_t brushColour, int mode)
{
    auto* target = static_cast<QPainter*>(painter);
    if (!target || !target->isActive())
        return 0;
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);

    target->save();
    target->setRenderHint(QPainter::Antialiasing, false);
    target->setCompositionMode(compositionForMode(mode));

    QRect bounds(QPoint(left, top), QPoint(right - 1, bottom - 1));
    int outline = std::max(penWidth, 1);
    if (penStyle == kNullPen) {
        bounds.adjust(0, 0, -1, -1);
        outline = 0;
    } else if (!bounds.isValid()) {
        outline = 0;
    } else if (outline > 1 || dashesOf(penStyle) == Qt::SolidLine) {
        // Dashes exist only for one-pixel pens; wider pens of any style draw solid.
        drawSolidOutline(*target, bounds, outline, sorvak::colourFromReference(penColour));
    } else {
        drawDashedOutline(*target, bounds, dashesOf(penStyle), sorvak::colourFromReference(penColour));
    }
    const QRect interior = bounds.adjusted(outline, outline, -outline, -outline);
    if (interior.isValid())
        target->fillRect(interior, sorvak::colourFromReference(brushColour));

    target->restore();
    return 1;
}
