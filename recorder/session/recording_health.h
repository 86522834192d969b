// What the window shows of a take's health, in the progress bar, which is idle while recording:
// during the take the recording time left, the highest peak, clipping and dropped audio and the
// device recorded from; after Stop a summary of the whole take. Clipping is told as time and as
// a share of the take: the time the channel that clipped most spent at full scale. The status line keeps its own texts. Pure functions of the numbers given.
#pragma once

#include "audio/capture_engine.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace wavelark {

// Under this much recording time left the display warns.
inline constexpr double kEarlyWarningSeconds = 300.0;

// A take whose loudest value stays under this (-60 dBFS) holds no audio worth keeping: the
// record-enabled box was off or nothing reached the input.
inline constexpr double kSilentLevel = 0.001;

// The seconds of audio that still fit: the smaller of the file system's free space (nothing when
// it cannot be asked) and what the largest take leaves, at 176,400 bytes a second.
double recordingSecondsLeft(std::optional<uint64_t> freeBytes, uint64_t takeBytes, uint64_t largestTake);

struct HealthDisplay {
    QString text;
    bool warning = false;  // something the user should act on now: shown in red
};

// While recording, for example "Time left 1:23:45   Peak -3.2 dBFS   Clipped 1.8 s, 0.9 % of the
// take   Dropped: 0.50 s   USB Audio CODEC, 44.1 kHz"; source is the device's part (nothing when
// empty).
HealthDisplay recordingHealthDisplay(const RecordingHealth& health, double secondsLeft, const QString& source = {});

// "USB Audio CODEC, 44.1 kHz": the device recorded from and its rate.
QString recordingSourceText(const QString& deviceName, int sampleRate);

// After Stop: clipping, dropped audio or silence in the take, or that it came through clean.
HealthDisplay takeSummaryDisplay(const RecordingHealth& health);

}
