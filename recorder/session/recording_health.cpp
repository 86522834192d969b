#include "session/recording_health.h"

#include "core/take_format.h"

#include <QStringList>

#include <algorithm>

namespace wavelark {

namespace {

QString clippingText(const RecordingHealth& health)
{
    QStringList channels;
    if (health.clippedLeft != 0)
        channels << QStringLiteral("L %1").arg(health.clippedLeft);
    if (health.clippedRight != 0)
        channels << QStringLiteral("R %1").arg(health.clippedRight);
    return channels.isEmpty() ? QString() : QStringLiteral("Clipping: ") + channels.join(QStringLiteral(", "));
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

HealthDisplay recordingHealthDisplay(const RecordingHealth& health, double secondsLeft)
{
    HealthDisplay display;
    QStringList parts;
    if (secondsLeft < kEarlyWarningSeconds) {
        parts << QStringLiteral("Only %1 of recording time left").arg(wholeSecondsText(secondsLeft));
        display.warning = true;
    } else {
        parts << QStringLiteral("Time left %1").arg(wholeSecondsText(secondsLeft));
    }
    if (const QString clipping = clippingText(health); !clipping.isEmpty()) {
        parts << clipping;
        display.warning = true;
    }
    if (const QString dropped = droppedText(health.losses); !dropped.isEmpty()) {
        parts << dropped;
        display.warning = true;
    }
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
        parts << QStringLiteral("The take clipped (%1)").arg(clipping.mid(10));
    if (const QString dropped = droppedText(health.losses); !dropped.isEmpty())
        parts << QStringLiteral("The take has gaps (%1)").arg(dropped.mid(9));
    display.warning = !parts.isEmpty();
    display.text = parts.isEmpty() ? QStringLiteral("The take came through clean: no clipping, nothing dropped")
                                   : parts.join(QStringLiteral("   "));
    return display;
}

}
