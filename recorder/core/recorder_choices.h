// The recorder's choices that settings.dat has no room for, kept in choices.ini beside it: the
// record and playback devices by name, the unattended side's choices and the meter scale.
//
// The file is text, one "key=value" a line, UTF-8. It is written whole through replaceFile, so a
// failure never leaves half a file. Keys this version does not know are kept as they stand and
// written back after its own, so that a newer version's choices survive an older one. A damaged
// file (not text, a line without '=', larger than any this program writes) is ignored as a whole:
// every choice takes its default. A known key with a value out of range takes its own default.
// Plain values; the owner (the take's session) decides on which thread it is used.
#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace wavelark {

enum class MeterScale {
    Linear,   // the skin's linear scale: a segment for every 26th of full scale
    Decibels, // dBFS from -60 to 0
};

// The quiet time at the end of a side that stops the take, in seconds, and its range.
inline constexpr int kShortestSideEndSilence = 10;
inline constexpr int kLongestSideEndSilence = 60;
// The longest "Stop after" the file may hold, in minutes (a day).
inline constexpr int kLongestStopAfter = 24 * 60;

struct RecorderChoices {
    QString recordDeviceName;   // empty: none chosen by name (settings.dat's number alone)
    QString playbackDeviceName;
    bool stopAtSideEnd = false;
    int sideEndSilenceSeconds = 20;  // kShortestSideEndSilence..kLongestSideEndSilence
    bool startOnSound = false;
    int stopAfterMinutes = 0;        // 0: off; else 1..kLongestStopAfter
    MeterScale meterScale = MeterScale::Linear;
    std::vector<std::pair<QByteArray, QByteArray>> unknownKeys;  // kept for the write-back

    bool operator==(const RecorderChoices&) const = default;
};

// The file's name in the data folder.
inline constexpr char kChoicesFileName[] = "choices.ini";

// Reads the text of the file; defaults for a damaged text (see above).
RecorderChoices parseRecorderChoices(const QByteArray& text);
// The text written for the choices.
QByteArray formatRecorderChoices(const RecorderChoices& choices);

// Reads the file at path; a missing, unreadable or damaged file gives the defaults.
RecorderChoices readRecorderChoices(const QString& path);
// Replaces the file at path. An empty text on success, else what failed in the system's words;
// the old file is then as it was.
QString writeRecorderChoices(const QString& path, const RecorderChoices& choices);

}
