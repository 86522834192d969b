// Pictures from the caller's Qt resources: the image list of a bitmap button and a decoded JPEG.
//
// Resources are process-wide in Qt, so the module argument of both exports has no part on Linux.
// Resource names follow one scheme, the resource type as the prefix and the identifier as the
// name:
//   ":/BITMAP/<id>"  a bitmap (any format Qt reads: BMP, PNG, ...), for BitmapButtonXP;
//   ":/BINARY/<id>"  raw bytes of a picture (JPEG, or any format Qt reads), for LoadResourceJpeg.
// In a .qrc file: <qresource prefix="/BITMAP"><file alias="600">skin/record.bmp</file></qresource>.

#include "sorvak.h"
#include "sorvak_widgets.h"

#include "helpers/colour_reference.h"

#include <QAbstractButton>
#include <QIcon>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

#include <algorithm>

namespace {

// Mask colours with a meaning of their own: none (no transparent pixels) and default (the
// colour of the top left pixel).
constexpr uint32_t kNoMaskColour = 0xFFFFFFFF;
constexpr uint32_t kDefaultMaskColour = 0xFF000000;

enum ImageAlignment { kImageRight = 1, kImageAbove = 2, kImageCentred = 4 };

QString resourcePath(const char* type, int id)
{
    return QStringLiteral(":/%1/%2").arg(QLatin1String(type)).arg(id);
}

// The bitmap with the pixels of the mask colour made transparent.
QImage maskedBitmap(const QImage& bitmap, uint32_t maskColour)
{
    QImage masked = bitmap.convertToFormat(QImage::Format_ARGB32);
    if (maskColour == kNoMaskColour || masked.isNull())
        return masked;
    const QRgb mask = maskColour == kDefaultMaskColour ? masked.pixel(0, 0) | 0xFF000000
                                                       : sorvak::colourFromReference(maskColour).rgb();
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            if ((line[x] | 0xFF000000) == mask)
                line[x] = 0;
        }
    }
    return masked;
}

// An image placed behind transparent left and top margins.
QPixmap iconPixmap(const QImage& image, const QMargins& margins)
{
    QImage padded(image.width() + margins.left(), image.height() + margins.top(), QImage::Format_ARGB32);
    padded.fill(Qt::transparent);
    QPainter painter(&padded);
    painter.drawImage(margins.left(), margins.top(), image);
    painter.end();
    return QPixmap::fromImage(padded);
}

void placeImage(QAbstractButton* button, int alignment)
{
    button->setLayoutDirection(alignment == kImageRight ? Qt::RightToLeft : Qt::LeftToRight);
    if (auto* toolButton = qobject_cast<QToolButton*>(button)) {
        toolButton->setToolButtonStyle(alignment == kImageAbove      ? Qt::ToolButtonTextUnderIcon
                                       : alignment == kImageCentred ? Qt::ToolButtonIconOnly
                                                                     : Qt::ToolButtonTextBesideIcon);
    }
}

}

void* BitmapButtonXP(void* /*module*/, void* dialog, int bitmapId, int buttonId, int imageWidth, int imageHeight,
                     int leftMargin, int topMargin, int alignment, uint32_t maskColour, void* font)
{
    auto* button = qobject_cast<QAbstractButton*>(sorvak::findControl(static_cast<QWidget*>(dialog), buttonId));
    if (!button || imageWidth <= 0 || imageHeight <= 0)
        return nullptr;
    const QImage bitmap(resourcePath("BITMAP", bitmapId));
    if (bitmap.isNull())
        return nullptr;

    auto* list = new sorvak::ImageList; // Owned by the caller.
    list->imageSize = QSize(imageWidth, imageHeight);
    list->margins = QMargins(std::max(leftMargin, 0), std::max(topMargin, 0), 0, 0);
    list->alignment = alignment;
    const QImage masked = maskedBitmap(bitmap, maskColour);
    for (int x = 0; x + imageWidth <= masked.width(); x += imageWidth)
        list->images.append(masked.copy(x, 0, imageWidth, imageHeight));

    button->setFont(font ? *static_cast<const QFont*>(font) : QFont());
    if (!list->images.isEmpty()) {
        QIcon icon(iconPixmap(list->images[0], list->margins));
        // Four or more images: normal, hovered, pressed, disabled (, default).
        if (list->images.size() >= 4) {
            icon.addPixmap(iconPixmap(list->images[1], list->margins), QIcon::Active);
            icon.addPixmap(iconPixmap(list->images[3], list->margins), QIcon::Disabled);
        }
        button->setIcon(icon);
        button->setIconSize(QSize(imageWidth + list->margins.left(), imageHeight + list->margins.top()));
    }
    placeImage(button, alignment);
    return list;
}

// The picture keeps its own pixel size, one picture pixel to one screen pixel, whatever the
// window's resolution.
void* LoadResourceJpeg(void* /*module*/, void* /*window*/, int resourceId)
{
    QImageReader reader(resourcePath("BINARY", resourceId));
    const QImage picture = reader.read();
    if (picture.isNull())
        return nullptr;
    // An opaque bitmap, as the screen holds it; transparent parts of a picture come out black.
    auto* bitmap = new QImage(picture.size(), QImage::Format_RGB32); // Owned by the caller.
    bitmap->fill(Qt::black);
    QPainter painter(bitmap);
    painter.drawImage(0, 0, picture);
    painter.end();
    return bitmap;
}
