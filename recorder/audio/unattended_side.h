// The decisions of an unattended recording, from the levels of the captured blocks alone: when a
// take armed by "Start on sound" starts, and when "Stop at the end of the side" or "Stop after"
// ends it. Pure: the capture worker feeds it each block's peak and length and acts on the answer
// (the recording engine keeps the pre-roll and posts the stop to the window, which stops the take
// as its Stop button does). One instance per take; not thread-safe (the capture worker owns it).
//
// The noise floor is the quietest block heard since the take was armed or started: the lead-in
// groove, the hiss between songs, the run-out groove. Digital silence counts as -90 dBFS, the
// quietest step of 16-bit audio, so that one dropped buffer does not sink the floor for good.
#pragma once

#include "core/recorder_choices.h"

namespace wavelark {

struct UnattendedRules {
    bool startOnSound = false;           // the take waits for sound
    bool stopAtSideEnd = false;          // the take stops after sideEndSilenceSeconds at the floor
    double sideEndSilenceSeconds = 20.0;
    // The end of a side is only looked for once this much is recorded, so the quiet lead-in or a
    // long pause in the first song never ends the take.
    double shortestSideSeconds = 60.0;
    double stopAfterSeconds = 0.0;       // > 0: the take stops once this much is recorded
};

enum class UnattendedAction {
    Continue,
    StartTake, // waiting: this block is the first of the take (the pre-roll goes before it)
    StopTake,  // recording: stop the take now; said once
};

// A block is at the floor when its peak is within this of the floor; a side's end is only
// looked for once its loudest block was kSoundMarginDecibels above the floor.
inline constexpr double kFloorMarginDecibels = 6.0;
// Sound starts the take when a block's peak is this far above the floor...
inline constexpr double kSoundMarginDecibels = 20.0;
// ...and at least this loud: hiss rising a little never starts a take.
inline constexpr double kQuietestSoundDecibels = -60.0;
// The level given to digital silence.
inline constexpr double kSilenceDecibels = -90.0;

// The rules of the user's choices (a side's end looked for after its first minute).
UnattendedRules unattendedRules(const RecorderChoices& choices);

// dBFS of a peak 0.0..1.0, kSilenceDecibels at the least.
double peakDecibels(double peak);

class UnattendedSide {
public:
    explicit UnattendedSide(const UnattendedRules& rules = {});

    // One block of input: its largest value (0.0..1.0, after the record gain) and its length.
    UnattendedAction feed(double peak, double seconds);
    // Audio put into the take besides the blocks fed while recording (the pre-roll).
    void addRecordedSeconds(double seconds) { m_recordedSeconds += seconds; }

    bool waiting() const { return m_waiting; }
    double recordedSeconds() const { return m_recordedSeconds; }
    // The floor so far in dBFS; 0 before the first block.
    double noiseFloorDecibels() const { return m_heard ? m_floor : 0.0; }

private:
    UnattendedAction recordingBlock(double level, double seconds);

    UnattendedRules m_rules;
    bool m_waiting = false;
    bool m_stopped = false;
    bool m_heard = false;
    double m_floor = 0.0;
    double m_loudest = 0.0;  // the loudest block recorded
    double m_recordedSeconds = 0.0;
    double m_quietSeconds = 0.0;  // the run of blocks at the floor
    double m_quietLoudest = 0.0;  // the loudest block of that run
};

}
