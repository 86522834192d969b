// Draws the setup program's images: the banner across the top of its dialog (112), on which the
// dialog draws the product's title, and the image of its Browse button (104), a folder.
//
// Usage: setup_make_images <output folder>. The PNG files it writes are committed beside this
// file and embedded in the program; run the `setup_images` target after changing this program.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>

namespace {

// The dialog's full width (322 dialog units) by 40 units: a night-blue band with a faint
// waveform along its lower half; the title is drawn at (70, 20) in pink over its left part.
QImage banner()
{
    QImage image(483, 65, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, image.height());
    band.setColorAt(0.0, QColor(20, 28, 52));
    band.setColorAt(1.0, QColor(6, 10, 22));
    painter.fillRect(image.rect(), band);

    // A take's envelope: a decaying chirp, mirrored about the middle line.
    QPainterPath upper;
    QPainterPath lower;
    const double middle = 44.0;
    for (int x = 0; x <= image.width(); ++x) {
        const double t = x / static_cast<double>(image.width());
        const double level = 14.0 * (0.35 + 0.65 * std::abs(std::sin(t * 23.0 + 3.0 * t * t))) * (0.55 + 0.45 * std::sin(t * 4.0));
        if (x == 0) {
            upper.moveTo(x, middle - level);
            lower.moveTo(x, middle + level);
        } else {
            upper.lineTo(x, middle - level);
            lower.lineTo(x, middle + level);
        }
    }
    QPainterPath envelope = upper;
    envelope.connectPath(lower.toReversed());
    envelope.closeSubpath();
    QLinearGradient wave(0, 0, image.width(), 0);
    wave.setColorAt(0.0, QColor(60, 220, 90, 70));
    wave.setColorAt(1.0, QColor(60, 160, 255, 110));
    painter.fillPath(envelope, wave);
    painter.setPen(QPen(QColor(120, 200, 255, 90), 1));
    painter.drawLine(0, static_cast<int>(middle), image.width(), static_cast<int>(middle));

    // A lark's silhouette at the left, below the title's start.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 144, 176));
    QPainterPath bird;
    bird.moveTo(18, 40);
    bird.cubicTo(26, 28, 38, 26, 48, 34);
    bird.cubicTo(40, 32, 34, 36, 32, 42);
    bird.cubicTo(28, 38, 24, 38, 18, 40);
    painter.drawPath(bird);
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.drawLine(0, image.height() - 1, image.width(), image.height() - 1);
    return image;
}

// A 20 x 16 folder on a transparent ground.
QImage browseImage()
{
    QImage image(20, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(150, 100, 20), 1));
    painter.setBrush(QColor(240, 196, 80));
    painter.drawRoundedRect(QRectF(1.5, 2.5, 8, 4), 1, 1);
    painter.setBrush(QColor(252, 214, 100));
    painter.drawRoundedRect(QRectF(1.5, 4.5, 17, 10), 1.5, 1.5);
    painter.setPen(QPen(QColor(255, 240, 190), 1));
    painter.drawLine(QPointF(3, 6.5), QPointF(17, 6.5));
    return image;
}

bool save(const QImage& image, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    if (!image.save(path)) {
        std::fprintf(stderr, "%s could not be written\n", qPrintable(path));
        return false;
    }
    return true;
}

}

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = save(banner(), folder, QStringLiteral("112.png"));
    ok &= save(browseImage(), folder, QStringLiteral("104.png"));
    return ok ? 0 : 1;
}
