// Loading the skin from the embedded resources.

#include "widgets/skin.h"

#include <QBitmap>
#include <QFontMetrics>

#include <algorithm>

namespace wavelark {

namespace {

bool loadImage(const char* name, QImage& image, QString* error)
{
    image = QImage(QStringLiteral(":/skin/%1.png").arg(QLatin1String(name)));
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("skin image %1 is missing").arg(QLatin1String(name));
        return false;
    }
    return true;
}

// The control-text face: Verdana where installed, else a wide sans serif of similar metrics.
// The fonts are asked for with a regular weight: the thin weight the skin names has no face of
// its own and draws as regular text.
QFont skinFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("sans-serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

// The font scaled to a character cell: its pixel size chosen for the cell's height, its stretch
// for the average character width, as Windows fits a face to a requested cell.
QFont cellFont(QFont font, QSize cell)
{
    for (int size = cell.height(); size > 1; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= cell.height())
            break;
    }
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0)
        font.setStretch(std::clamp(100 * cell.width() / average, 1, 4000));
    return font;
}

QPixmap withWhiteTransparent(const QImage& bitmap)
{
    QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((row[x] & 0x00FFFFFF) == 0x00FFFFFF)
                row[x] = qRgba(255, 255, 255, 0);
        }
    }
    return QPixmap::fromImage(image);
}

}

ButtonImages makeButtonImages(const QImage& bitmap)
{
    QImage grey = bitmap.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb pixel = row[x];
            if ((pixel & 0x00FFFFFF) == 0x00FFFFFF)
                continue;
            const int level = (qRed(pixel) + qGreen(pixel) + qBlue(pixel)) / 3;
            row[x] = qRgb(level, level, level);
        }
    }
    return {withWhiteTransparent(bitmap), withWhiteTransparent(grey)};
}

bool loadSkin(Skin& skin, QString* error)
{
    if (!loadImage("105", skin.background, error) || !loadImage("107", skin.meterLit, error)
        || !loadImage("108", skin.meterUnlit, error) || !loadImage("117", skin.welcomeHeader, error))
        return false;
    skin.backgroundBrush = QBrush(skin.background);
    skin.meterLitBrush = QBrush(skin.meterLit);
    skin.meterUnlitBrush = QBrush(skin.meterUnlit);

    QImage cursor;
    if (!loadImage("114", cursor, error))
        return false;
    skin.edgeCursor = QCursor(QPixmap::fromImage(cursor), 15, 15);

    // Windows asks for a cell 13 pixels high (6 wide) and 48 high (24 wide); the em sizes below
    // give the same cell heights with this face.
    skin.smallFont = skinFont(11);
    QFont caption = skinFont(40);
    caption.setWeight(QFont::Thin);
    skin.largeFont = cellFont(caption, kLargeFontCell);

    QImage icon;
    if (!loadImage("102", icon, error))
        return false;
    skin.programIcon = QIcon(QPixmap::fromImage(icon));
    for (const char* size : {"102-32", "102-16"}) {
        if (!loadImage(size, icon, error))
            return false;
        skin.programIcon.addPixmap(QPixmap::fromImage(icon));
    }

    const char* buttonNames[] = {"600", "601", "602", "603"};
    for (int index = 0; index < 4; ++index) {
        QImage bitmap;
        if (!loadImage(buttonNames[index], bitmap, error))
            return false;
        skin.buttonImages[index] = makeButtonImages(bitmap);
    }
    return true;
}

}
