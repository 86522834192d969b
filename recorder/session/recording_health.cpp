#include "session/recording_health.h"

#include "core/take_format.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace wavelark {

namespace {

// "1.8 s, 0.9 % of the take": the time the channel that clipped most spent at full scale and its
// share of the take; empty when nothing clipped.
QString clippingText(const RecordingHealth& health)
{
    const uint64_t frames = std::max(health.clippedLeft, health.clippedRight);
    if (frames == 0)
        return QString();
    const double seconds = static_cast<double>(frames) / kTakeSampleRate;
    QString text;
    if (seconds >= 0.1)
        text = QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
    else if (seconds >= 0.0005)
        text = QStringLiteral("%1 ms").arg(std::lround(seconds * 1000.0));
    else
        text = QStringLiteral("< 1 ms");
    const uint64_t takeFrames = health.takeBytes / 4;
    if (takeFrames == 0)
        return text;
    const double percent = 100.0 * static_cast<double>(std::min(frames, takeFrames)) / static_cast<double>(takeFrames);
    return text + (percent >= 0.1 ? QStringLiteral(", %1 % of the take").arg(percent, 0, 'f', 1)
                                  : QStringLiteral(", < 0.1 % of the take"));
}

// "Peak -3.2 dBFS": the take's loudest value so far.
QString peakText(double loudest)
{
    if (loudest < kSilentLevel)
        return QStringLiteral("Peak below -60 dBFS");
    return QStringLiteral("Peak %1 dBFS").arg(20.0 * std::log10(std::min(loudest, 1.0)), 0, 'f', 1);
}

QString droppedText(const RecordingLosses& losses)
{
    QStringList parts;
    if (losses.droppedFrames != 0)
        parts << QStringLiteral("%1 s").arg(static_cast<double>(losses.droppedFrames) / 44100.0, 0, 'f', 2);
    if (losses.deviceOverruns != 0)
        parts << QStringLiteral("%1 overrun%2").arg(losses.deviceOverruns).arg(losses.deviceOverruns == 1 ? "" : "s");
    return parts.isEmpty() ? QString() : QStringLiteral("Dropped: ") + parts.join(QStringLiteral(", "));
}

}

double recordingSecondsLeft(std::optional<uint64_t> freeBytes, uint64_t takeBytes, uint64_t largestTake)
{
    uint64_t room = largestTake > takeBytes ? largestTake - takeBytes : 0;
    if (freeBytes)
        room = std::min(room, *freeBytes);
    return takeSeconds(room);
}

QString recordingSourceText(const QString& deviceName, int sampleRate)
{
    const QString rate = QStringLiteral("%1 kHz").arg(sampleRate / 1000.0, 0, 'g', 4);
    return deviceName.isEmpty() ? rate : deviceName + QStringLiteral(", ") + rate;
}

HealthDisplay recordingHealthDisplay(const RecordingHealth& health, double secondsLeft, const QString& source)
{
    HealthDisplay display;
    QStringList parts;
    if (secondsLeft < kEarlyWarningSeconds) {
        parts << QStringLiteral("Only %1 of recording time left").arg(wholeSecondsText(secondsLeft));
        display.warning = true;
    } else {
        parts << QStringLiteral("Time left %1").arg(wholeSecondsText(secondsLeft));
    }
    parts << peakText(health.loudest);
    if (const QString clipping = clippingText(health); !clipping.isEmpty()) {
        parts << QStringLiteral("Clipped ") + clipping;
        display.warning = true;
    }
    if (const QString dropped = droppedText(health.losses); !dropped.isEmpty()) {
        parts << dropped;
        display.warning = true;
    }
    if (!source.isEmpty())
        parts << source;
    display.text = parts.join(QStringLiteral("   "));
    return display;
}

HealthDisplay takeSummaryDisplay(const RecordingHealth& health)
{
    HealthDisplay display;
    QStringList parts;
    if (health.takeBytes != 0 && health.loudest < kSilentLevel)
        parts << QStringLiteral("The take is silent: check the input and that recording is enabled");
    if (const QString clipping = clippingText(health); !clipping.isEmpty())
        parts << QStringLiteral("The take clipped (%1)").arg(clipping);
    if (const QString dropped = droppedText(health.losses); !dropped.isEmpty())
        parts << QStringLiteral("The take has gaps (%1)").arg(dropped.mid(9));
    display.warning = !parts.isEmpty();
    display.text = parts.isEmpty() ? QStringLiteral("The take came through clean: no clipping, nothing dropped")
                                   : parts.join(QStringLiteral("   "));
    return display;
}

}
