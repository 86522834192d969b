#include "widgets/time_ruler.h"

#include "core/take_format.h"

#include <QPainter>

#include <array>
#include <cmath>

namespace wavelark {

namespace {

const QColor kBandColour(255, 255, 255, 190);
const QColor kTickColour(64, 64, 64);
constexpr int kLabelPixels = 9;

}

QString exactTimeText(uint64_t frames)
{
    const uint64_t milliseconds = frames * 1000 / kTakeSampleRate;
    const uint64_t seconds = milliseconds / 1000;
    const uint64_t hours = seconds / 3600;
    const QString fraction = QStringLiteral(".%1").arg(milliseconds % 1000, 3, 10, QLatin1Char('0'));
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
                   .arg(hours)
                   .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                   .arg(seconds % 60, 2, 10, QLatin1Char('0'))
               + fraction;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')) + fraction;
}

QString minutesText(double seconds)
{
    const auto whole = static_cast<int64_t>(std::max(0.0, std::floor(seconds)));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

double rulerStepSeconds(double secondsPerPixel, double minimumPixels)
{
    static constexpr std::array kSteps{0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0,  2.0,
                                       5.0,   10.0,  15.0,  30.0, 60.0, 120.0, 300.0, 600.0};
    for (const double step : kSteps) {
        if (step / secondsPerPixel >= minimumPixels)
            return step;
    }
    return kSteps.back();
}

QString rulerLabel(double seconds, double step)
{
    const int decimals = step >= 1.0 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : 3;
    // Counted in the step's smallest unit, so that 0.3 never prints as 0.29.
    const double unit = std::pow(10.0, -decimals);
    const auto units = static_cast<int64_t>(std::llround(seconds / unit));
    const int64_t perSecond = std::llround(1.0 / unit);
    QString text = minutesText(static_cast<double>(units / perSecond));
    if (decimals > 0)
        text += QStringLiteral(".%1").arg(units % perSecond, decimals, 10, QLatin1Char('0'));
    return text;
}

void drawTimeRuler(QImage& image, const ZoomWindow& window)
{
    if (window.takeFrames() == 0)
        return;
    const double secondsPerPixel = window.framesPerPixel() / kTakeSampleRate;
    const double step = rulerStepSeconds(secondsPerPixel);
    const double tick = step / 5.0;
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, image.width(), kRulerHeight), kBandColour);
    QFont font = painter.font();
    font.setPixelSize(kLabelPixels);
    painter.setFont(font);
    painter.setPen(kTickColour);
    const double firstSecond = static_cast<double>(window.firstFrame()) / kTakeSampleRate;
    const double lastSecond = firstSecond + image.width() * secondsPerPixel;
    for (auto index = static_cast<int64_t>(std::ceil(firstSecond / tick)); index * tick <= lastSecond; ++index) {
        const double seconds = static_cast<double>(index) * tick;
        const int x = static_cast<int>(std::lround((seconds - firstSecond) / secondsPerPixel));
        const bool labelled = index % 5 == 0;
        painter.drawLine(x, kRulerHeight - (labelled ? 5 : 2), x, kRulerHeight - 1);
        if (labelled)
            painter.drawText(QPoint(x + 2, kLabelPixels), rulerLabel(seconds, step));
    }
    painter.drawLine(0, kRulerHeight - 1, image.width() - 1, kRulerHeight - 1);
}

}
