#include "audio/unattended_side.h"

#include <algorithm>
#include <cmath>

namespace wavelark {

namespace {

// Block lengths summed in doubles fall a hair short of a whole time: a microsecond is no audio.
constexpr double kTimeTolerance = 1e-6;

bool reached(double seconds, double limit)
{
    return seconds >= limit - kTimeTolerance;
}

}

UnattendedRules unattendedRules(const RecorderChoices& choices)
{
    UnattendedRules rules;
    rules.startOnSound = choices.startOnSound;
    rules.stopAtSideEnd = choices.stopAtSideEnd;
    rules.sideEndSilenceSeconds = choices.sideEndSilenceSeconds;
    rules.stopAfterSeconds = choices.stopAfterMinutes * 60.0;
    return rules;
}

double peakDecibels(double peak)
{
    return peak > 0.0 ? std::max(kSilenceDecibels, 20.0 * std::log10(peak)) : kSilenceDecibels;
}

UnattendedSide::UnattendedSide(const UnattendedRules& rules)
    : m_rules(rules)
    , m_waiting(rules.startOnSound)
{
}

UnattendedAction UnattendedSide::feed(double peak, double seconds)
{
    const double level = peakDecibels(peak);
    if (m_waiting) {
        // The block that brings the sound is judged against the floor heard before it.
        const bool sound = m_heard && level >= m_floor + kSoundMarginDecibels && level >= kQuietestSoundDecibels;
        m_floor = m_heard ? std::min(m_floor, level) : level;
        m_heard = true;
        if (!sound)
            return UnattendedAction::Continue;
        m_waiting = false;
        m_recordedSeconds += seconds;
        return UnattendedAction::StartTake;
    }
    m_floor = m_heard ? std::min(m_floor, level) : level;
    m_loudest = m_heard ? std::max(m_loudest, level) : level;
    m_heard = true;
    return recordingBlock(level, seconds);
}

UnattendedAction UnattendedSide::recordingBlock(double level, double seconds)
{
    m_recordedSeconds += seconds;
    // The run of blocks at the floor so far. A floor that fell during the run can leave blocks in
    // it that are no longer at the floor: the run then starts afresh with this block.
    if (level > m_floor + kFloorMarginDecibels) {
        m_quietSeconds = 0.0;
    } else if (m_quietSeconds > 0.0 && m_quietLoudest > m_floor + kFloorMarginDecibels) {
        m_quietSeconds = seconds;
        m_quietLoudest = level;
    } else {
        m_quietLoudest = m_quietSeconds > 0.0 ? std::max(m_quietLoudest, level) : level;
        m_quietSeconds += seconds;
    }
    if (m_stopped)
        return UnattendedAction::Continue;
    const bool timeUp = m_rules.stopAfterSeconds > 0.0 && reached(m_recordedSeconds, m_rules.stopAfterSeconds);
    // Without a floor clearly below the take's loudest (a steady tone, a take started mid-song)
    // there is no quiet to tell the end of the side by.
    const bool sideEnded = m_rules.stopAtSideEnd && reached(m_recordedSeconds, m_rules.shortestSideSeconds)
                           && m_loudest - m_floor >= kSoundMarginDecibels
                           && reached(m_quietSeconds, m_rules.sideEndSilenceSeconds);
    if (!timeUp && !sideEnded)
        return UnattendedAction::Continue;
    m_stopped = true;
    return UnattendedAction::StopTake;
}

}
