// The one-axis-at-a-time bitmap scaler and ResizeBitmap, which scales the width first and the
// height second.

#include "helpers/bitmap_scaler.h"

#include "sorvak.h"

#include <algorithm>
#include <vector>

namespace {

constexpr double kSmallestWeight = 0.0001;

struct Contribution {
    int source;
    double weight;
};

// For each destination cell of one axis, the source cells that make it and their weights.
using AxisWeights = std::vector<std::vector<Contribution>>;

// Shrinking (or equal): walk the source cells; each puts the part of itself that falls into the
// current destination cell there and the part that spills over into the next one.
AxisWeights shrinkingWeights(int destinationSize, int sourceSize)
{
    AxisWeights weights(static_cast<std::size_t>(destinationSize));
    const double scale = static_cast<double>(destinationSize) / sourceSize;
    for (int source = 0; source < sourceSize; ++source) {
        const double start = source * scale;
        const double end = (source + 1) * scale;
        const int cell = std::min(static_cast<int>(start), destinationSize - 1);
        const double current = std::min(end, cell + 1.0) - start;
        weights[static_cast<std::size_t>(cell)].push_back({source, current});
        const double spill = end - (cell + 1.0);
        if (spill > 0 && cell + 1 < destinationSize)
            weights[static_cast<std::size_t>(cell + 1)].push_back({source, spill});
    }
    return weights;
}

// Growing: walk the destination cells; each takes the source cell it starts in for the part of
// itself that lies in it and the next source cell for the rest.
AxisWeights growingWeights(int destinationSize, int sourceSize)
{
    AxisWeights weights(static_cast<std::size_t>(destinationSize));
    const double sourcePerCell = static_cast<double>(sourceSize) / destinationSize;
    const double cellsPerSource = static_cast<double>(destinationSize) / sourceSize;
    for (int cell = 0; cell < destinationSize; ++cell) {
        const int source = std::min(static_cast<int>(cell * sourcePerCell), sourceSize - 1);
        const double current = std::min((source + 1) * cellsPerSource - cell, 1.0);
        auto& cellWeights = weights[static_cast<std::size_t>(cell)];
        cellWeights.push_back({source, current});
        if (current < 1.0 && source + 1 < sourceSize)
            cellWeights.push_back({source + 1, 1.0 - current});
    }
    return weights;
}

AxisWeights axisWeights(int destinationSize, int sourceSize)
{
    return destinationSize > sourceSize ? growingWeights(destinationSize, sourceSize)
                                        : shrinkingWeights(destinationSize, sourceSize);
}

}

namespace sorvak {

QImage scaleBitmap(const QImage& picture, int width, int height)
{
    const QImage source = picture.convertToFormat(QImage::Format_RGB888);
    if (source.isNull() || width <= 0 || height <= 0)
        return QImage();
    const bool widthGrows = width > source.width();
    const bool heightGrows = height > source.height();
    if ((widthGrows && height < source.height()) || (heightGrows && width < source.width()))
        return source.copy();

    QImage destination(width, height, QImage::Format_RGB888);
    if (destination.isNull())
        return QImage();
    const AxisWeights columns = axisWeights(width, source.width());
    const AxisWeights rows = axisWeights(height, source.height());
    for (int y = 0; y < height; ++y) {
        uchar* out = destination.scanLine(y);
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            for (const Contribution& row : rows[static_cast<std::size_t>(y)]) {
                const uchar* in = source.constScanLine(row.source);
                for (const Contribution& column : columns[static_cast<std::size_t>(x)]) {
                    const double weight = row.weight * column.weight;
                    if (weight < kSmallestWeight)
                        continue;
                    const uchar* pixel = in + 3 * column.source;
                    for (int channel = 0; channel < 3; ++channel)
                        sum[channel] += weight * pixel[channel];
                }
            }
            for (int channel = 0; channel < 3; ++channel)
                out[3 * x + channel] = static_cast<uchar>(std::clamp(static_cast<int>(sum[channel]), 0, 255));
        }
    }
    return destination;
}

}

void* ResizeBitmap(void* bitmap, int width, int height)
{
    const auto* picture = static_cast<const QImage*>(bitmap);
    if (!picture || picture->isNull() || width <= 0 || height <= 0)
        return nullptr;
    // A copy keeps the format; a scaled picture keeps 24-bit pixels when given them and is
    // 32-bit RGB otherwise.
    const QImage::Format format =
        picture->format() == QImage::Format_RGB888 ? QImage::Format_RGB888 : QImage::Format_RGB32;
    if (picture->size() == QSize(width, height))
        return new QImage(picture->copy());
    const QImage widthScaled = sorvak::scaleBitmap(*picture, width, picture->height());
    if (widthScaled.isNull())
        return nullptr;
    const QImage scaled = sorvak::scaleBitmap(widthScaled, width, height);
    if (scaled.isNull())
        return nullptr;
    return new QImage(scaled.convertToFormat(format));
}
