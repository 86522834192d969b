// The toolkit's own bitmap scaler, used by ResizeBitmap.
#pragma once

#include <QImage>

namespace sorvak {

// Scales a picture to width x height with area weights. Where an axis shrinks (or keeps its
// size) each destination pixel is the box-filtered sum of the source pixels it covers, each
// weighted by the part of it that falls into the destination pixel; where an axis grows each
// destination pixel blends the (at most two) source pixels it overlaps by their overlap. A
// pixel's weight is the product of its weights along both axes; weights below 0.0001 are left
// out, and each channel's sum is truncated to a byte. When one axis would grow while the other
// shrinks the picture is returned unchanged (scale one axis at a time instead).
// The result is 24-bit RGB (Format_RGB888); a null image when it cannot be allocated.
QImage scaleBitmap(const QImage& source, int width, int height);

}
