#include "core/recorder_choices.h"

#include "core/file_toolbox.h"

#include <QFile>
#include <QStringDecoder>

#include <span>

namespace wavelark {

namespace {

// Far more than this program writes: a larger file is not one of ours.
constexpr qsizetype kLargestChoicesFile = 64 * 1024;

constexpr char kRecordDevice[] = "record-device";
constexpr char kPlaybackDevice[] = "playback-device";
constexpr char kStopAtSideEnd[] = "stop-at-side-end";
constexpr char kSideEndSilence[] = "side-end-silence-seconds";
constexpr char kStartOnSound[] = "start-on-sound";
constexpr char kStopAfter[] = "stop-after-minutes";
constexpr char kMeterScale[] = "meter-scale";

// The number when the whole value is one in first..last, else fallback.
int numberIn(const QByteArray& value, int first, int last, int fallback)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok && number >= first && number <= last ? number : fallback;
}

bool switchValue(const QByteArray& value, bool fallback)
{
    if (value == "1")
        return true;
    if (value == "0")
        return false;
    return fallback;
}

bool isUtf8(const QByteArray& text)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    // The decoder reports malformed input only once it has decoded it.
    const QString decoded = decoder.decode(text);
    return !decoder.hasError() && decoded.size() <= text.size();
}

// A name kept on one line: line breaks would end the value early.
QByteArray oneLine(const QString& text)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line.toUtf8();
}

}

RecorderChoices parseRecorderChoices(const QByteArray& text)
{
    const RecorderChoices defaults;
    if (text.size() > kLargestChoicesFile || text.contains('\0'))
        return defaults;
    if (!isUtf8(text))
        return defaults;
    RecorderChoices choices;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            return defaults;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1);
        if (key == kRecordDevice)
            choices.recordDeviceName = QString::fromUtf8(value);
        else if (key == kPlaybackDevice)
            choices.playbackDeviceName = QString::fromUtf8(value);
        else if (key == kStopAtSideEnd)
            choices.stopAtSideEnd = switchValue(value.trimmed(), defaults.stopAtSideEnd);
        else if (key == kSideEndSilence)
            choices.sideEndSilenceSeconds = numberIn(value.trimmed(), kShortestSideEndSilence, kLongestSideEndSilence,
                                                     defaults.sideEndSilenceSeconds);
        else if (key == kStartOnSound)
            choices.startOnSound = switchValue(value.trimmed(), defaults.startOnSound);
        else if (key == kStopAfter)
            choices.stopAfterMinutes = numberIn(value.trimmed(), 0, kLongestStopAfter, defaults.stopAfterMinutes);
        else if (key == kMeterScale)
            choices.meterScale = value.trimmed() == "dbfs" ? MeterScale::Decibels : MeterScale::Linear;
        else
            choices.unknownKeys.emplace_back(key, value);
    }
    return choices;
}

QByteArray formatRecorderChoices(const RecorderChoices& choices)
{
    QByteArray text;
    const auto put = [&text](const char* key, const QByteArray& value) { text += key + ('=' + value) + '\n'; };
    put(kRecordDevice, oneLine(choices.recordDeviceName));
    put(kPlaybackDevice, oneLine(choices.playbackDeviceName));
    put(kStopAtSideEnd, choices.stopAtSideEnd ? "1" : "0");
    put(kSideEndSilence, QByteArray::number(choices.sideEndSilenceSeconds));
    put(kStartOnSound, choices.startOnSound ? "1" : "0");
    put(kStopAfter, QByteArray::number(choices.stopAfterMinutes));
    put(kMeterScale, choices.meterScale == MeterScale::Decibels ? "dbfs" : "linear");
    for (const auto& [key, value] : choices.unknownKeys)
        text += key + '=' + value + '\n';
    return text;
}

RecorderChoices readRecorderChoices(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseRecorderChoices(file.read(kLargestChoicesFile + 1));
}

QString writeRecorderChoices(const QString& path, const RecorderChoices& choices)
{
    const QByteArray text = formatRecorderChoices(choices);
    const std::optional<FileFailure> failure = replaceFile(
        QFile::encodeName(path).toStdString(),
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.constData()), static_cast<size_t>(text.size())));
    return failure ? QString::fromLocal8Bit(failure->reason().c_str()) : QString();
}

}
