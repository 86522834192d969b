// Draws the recorder's skin: the window background pattern (105), the lit and unlit level-meter
// patterns (107, 108), the welcome header (117), the four 16 x 16 button images on white
// (600-603), the selection-edge cursor (114) and the program's icon (102: 16 to 256 pixels and SVG).
//
// Usage: wavelark_make_skin <output folder>. The PNG files it writes are committed beside this
// file and embedded in the program; run the `skin` target after changing this program.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The window background: cool brushed silver, light enough for black label text. Horizontal
// streaks only and no features, so the pattern tiles seamlessly in both directions (the client
// area is taller than the pattern).
QImage backgroundPattern()
{
    QImage image(800, 404, QImage::Format_RGB32);
    QRandomGenerator random(105);
    for (int y = 0; y < image.height(); ++y) {
        const int streak = static_cast<int>(random.bounded(7)) - 3;
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = static_cast<int>(random.bounded(5)) - 2;
            const int shade = streak + grain;
            row[x] = qRgb(std::clamp(214 + shade, 0, 255), std::clamp(220 + shade, 0, 255),
                          std::clamp(230 + shade, 0, 255));
        }
    }
    return image;
}

QColor segmentColour(int segment, bool lit)
{
    // Segment 0 is the top of the meter.
    QColor colour = segment < 4 ? QColor(255, 64, 48) : segment < 9 ? QColor(255, 200, 40) : QColor(60, 220, 90);
    if (!lit)
        colour = QColor(colour.red() / 5 + 22, colour.green() / 5 + 24, colour.blue() / 5 + 28);
    return colour;
}

// A level-meter column: 26 segments of 13 pixels, each an 11-pixel lamp under a 2-pixel gap.
QImage meterPattern(bool lit)
{
    QImage image(22, 337, QImage::Format_RGB32);
    image.fill(QColor(24, 28, 34));
    QPainter painter(&image);
    for (int segment = 0; segment < 26; ++segment) {
        const QRect lamp(1, segment * 13, 20, 11);
        const QColor colour = segmentColour(segment, lit);
        QLinearGradient shine(lamp.topLeft(), lamp.topRight());
        shine.setColorAt(0.0, colour.darker(lit ? 125 : 110));
        shine.setColorAt(0.45, lit ? colour.lighter(135) : colour.lighter(112));
        shine.setColorAt(1.0, colour.darker(lit ? 130 : 112));
        painter.fillRect(lamp, shine);
        painter.setPen(lit ? colour.lighter(160) : colour.lighter(120));
        painter.drawLine(lamp.left() + 1, lamp.top(), lamp.right() - 1, lamp.top());
    }
    return image;
}

void drawWaveform(QPainter& painter, const QRectF& area, int seed, double amplitude)
{
    QPainterPath path;
    QRandomGenerator random(seed);
    const double middle = area.center().y();
    for (int step = 0; step <= static_cast<int>(area.width()); step += 2) {
        const double x = area.left() + step;
        const double envelope = std::sin(M_PI * step / area.width());
        const double value = (random.generateDouble() * 2.0 - 1.0) * envelope * amplitude * area.height() / 2.0;
        if (step == 0)
            path.moveTo(x, middle);
        path.lineTo(x, middle - value);
        path.lineTo(x + 1, middle + value);
    }
    painter.drawPath(path);
}

QImage welcomeHeader()
{
    QImage image(480, 88, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 480, 88);
    sky.setColorAt(0.0, QColor(10, 24, 72));
    sky.setColorAt(1.0, QColor(18, 96, 140));
    painter.fillRect(image.rect(), sky);
    painter.setPen(QPen(QColor(120, 200, 255, 110), 1.0));
    drawWaveform(painter, QRectF(200, 8, 272, 72), 117, 0.9);
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
    painter.drawLine(200, 44, 472, 44);
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(20, 12, 300, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Wavelark 2.0"));
    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(13);
    painter.setFont(subtitle);
    painter.setPen(QColor(190, 220, 255));
    painter.drawText(QRect(22, 52, 300, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Record, trim and archive your sound"));
    painter.setBrush(QColor(255, 70, 60));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(452, 20), 6, 6);
    return image;
}

QImage buttonCanvas()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QImage recordImage()
{
    QImage image = buttonCanvas();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient lamp(QPointF(6.5, 6.0), 7.0);
    lamp.setColorAt(0.0, QColor(255, 130, 120));
    lamp.setColorAt(1.0, QColor(200, 20, 20));
    painter.setBrush(lamp);
    painter.setPen(QPen(QColor(130, 10, 10), 1.0));
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return image;
}

QImage playImage()
{
    QImage image = buttonCanvas();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 2, 0, 14);
    fill.setColorAt(0.0, QColor(90, 220, 110));
    fill.setColorAt(1.0, QColor(20, 130, 40));
    painter.setBrush(fill);
    painter.setPen(QPen(QColor(10, 90, 25), 1.0));
    QPolygonF triangle;
    triangle << QPointF(4.0, 2.5) << QPointF(13.5, 8.0) << QPointF(4.0, 13.5);
    painter.drawPolygon(triangle);
    return image;
}

QImage importImage()
{
    QImage image = buttonCanvas();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // An open folder with an arrow going into it.
    painter.setPen(QPen(QColor(150, 105, 10), 1.0));
    painter.setBrush(QColor(245, 200, 70));
    QPolygonF folder;
    folder << QPointF(1.5, 6.5) << QPointF(5.5, 6.5) << QPointF(6.5, 7.5) << QPointF(14.5, 7.5)
           << QPointF(14.5, 14.5) << QPointF(1.5, 14.5);
    painter.drawPolygon(folder);
    painter.setPen(QPen(QColor(30, 80, 200), 2.0, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(8.0, 1.0), QPointF(8.0, 9.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 80, 200));
    QPolygonF head;
    head << QPointF(4.5, 7.0) << QPointF(11.5, 7.0) << QPointF(8.0, 11.5);
    painter.drawPolygon(head);
    return image;
}

QImage saveImage()
{
    QImage image = buttonCanvas();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // A diskette.
    painter.setPen(QPen(QColor(20, 40, 110), 1.0));
    painter.setBrush(QColor(50, 90, 190));
    QPolygonF body;
    body << QPointF(1.5, 1.5) << QPointF(12.5, 1.5) << QPointF(14.5, 3.5) << QPointF(14.5, 14.5)
         << QPointF(1.5, 14.5);
    painter.drawPolygon(body);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(235, 240, 250));
    painter.drawRect(QRectF(4, 2, 7, 4.5));
    painter.setBrush(QColor(20, 40, 110));
    painter.drawRect(QRectF(8.5, 2.5, 1.5, 3));
    painter.setBrush(QColor(250, 250, 245));
    painter.drawRect(QRectF(3.5, 9, 9, 5));
    return image;
}

// The selection-edge cursor: a vertical edge with arrows to both sides, hot spot at (15, 15).
QImage edgeCursor()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRect(QRectF(14, 4, 3, 23));
    QPolygonF left;
    left << QPointF(3, 15.5) << QPointF(10, 9.5) << QPointF(10, 13.5) << QPointF(14, 13.5)
         << QPointF(14, 17.5) << QPointF(10, 17.5) << QPointF(10, 21.5);
    QPolygonF right;
    for (const QPointF& point : left)
        right << QPointF(31 - point.x(), point.y());
    shape.addPolygon(left);
    shape.addPolygon(right);
    shape = shape.simplified();
    painter.setPen(QPen(Qt::white, 2.0));
    painter.setBrush(Qt::black);
    painter.drawPath(shape);
    painter.setPen(Qt::NoPen);
    painter.drawPath(shape);
    return image;
}

// The program's icon, drawn on a 64 x 64 grid: a rounded navy face, a light-blue waveform and a
// red recording lamp. The PNG sizes and the scalable SVG are drawn from the same figures.
constexpr double kWaveHeights[] = {0, 8, -12, 18, -20, 14, -8, 16, -10, 5, 0};
constexpr int kWavePoints = 11;

QPointF wavePoint(int index)
{
    return QPointF(10 + index * 4.4, 34 - kWaveHeights[index]);
}

QImage programIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    QLinearGradient face(0, 0, 0, 64);
    face.setColorAt(0.0, QColor(28, 70, 150));
    face.setColorAt(1.0, QColor(8, 22, 64));
    painter.setPen(QPen(QColor(6, 16, 44), 2.0));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(3, 3, 58, 58), 12, 12);
    painter.setPen(QPen(QColor(140, 215, 255), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath wave;
    for (int index = 0; index < kWavePoints; ++index) {
        if (index == 0)
            wave.moveTo(wavePoint(index));
        else
            wave.lineTo(wavePoint(index));
    }
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(wave);
    painter.setPen(QPen(QColor(120, 10, 10), 1.5));
    painter.setBrush(QColor(255, 64, 52));
    painter.drawEllipse(QPointF(48, 16), 6.5, 6.5);
    return image;
}

QByteArray programIconSvg()
{
    QByteArray points;
    for (int index = 0; index < kWavePoints; ++index) {
        const QPointF point = wavePoint(index);
        points += QByteArray::number(point.x(), 'g', 4) + ',' + QByteArray::number(point.y(), 'g', 4) + ' ';
    }
    return QByteArrayLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n"
               "  <defs>\n"
               "    <linearGradient id=\"face\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"64\" gradientUnits=\"userSpaceOnUse\">\n"
               "      <stop offset=\"0\" stop-color=\"#1c4696\"/>\n"
               "      <stop offset=\"1\" stop-color=\"#081640\"/>\n"
               "    </linearGradient>\n"
               "  </defs>\n"
               "  <rect x=\"3\" y=\"3\" width=\"58\" height=\"58\" rx=\"12\" ry=\"12\" fill=\"url(#face)\" "
               "stroke=\"#06102c\" stroke-width=\"2\"/>\n"
               "  <polyline points=\"")
        + points.trimmed()
        + QByteArrayLiteral("\" fill=\"none\" stroke=\"#8cd7ff\" stroke-width=\"3\" "
                            "stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
                            "  <circle cx=\"48\" cy=\"16\" r=\"6.5\" fill=\"#ff4034\" stroke=\"#780a0a\" stroke-width=\"1.5\"/>\n"
                            "</svg>\n");
}

bool save(const QImage& image, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
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
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = save(backgroundPattern(), folder, QStringLiteral("105.png"));
    ok &= save(meterPattern(true), folder, QStringLiteral("107.png"));
    ok &= save(meterPattern(false), folder, QStringLiteral("108.png"));
    ok &= save(welcomeHeader(), folder, QStringLiteral("117.png"));
    ok &= save(recordImage(), folder, QStringLiteral("600.png"));
    ok &= save(playImage(), folder, QStringLiteral("601.png"));
    ok &= save(importImage(), folder, QStringLiteral("602.png"));
    ok &= save(saveImage(), folder, QStringLiteral("603.png"));
    ok &= save(edgeCursor(), folder, QStringLiteral("114.png"));
    ok &= save(programIcon(64), folder, QStringLiteral("102.png"));
    ok &= save(programIcon(32), folder, QStringLiteral("102-32.png"));
    ok &= save(programIcon(16), folder, QStringLiteral("102-16.png"));
    ok &= save(programIcon(128), folder, QStringLiteral("102-128.png"));
    ok &= save(programIcon(256), folder, QStringLiteral("102-256.png"));
    QFile svg(folder.filePath(QStringLiteral("102.svg")));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(programIconSvg()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
