// The unattended recording's decisions over level sequences: a side that ends in its run-out
// groove, quiet passages that must not end it, sound that starts an armed take and hiss that
// must not, and the timer.

#include "audio/unattended_side.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace wavelark {
namespace {

constexpr double kDigitalSilence = -std::numeric_limits<double>::infinity();
constexpr double kBlock = 0.1;  // seconds a block
constexpr double kNever = -1.0;

struct Stretch {
    double decibels;
    double seconds;
};

struct Outcome {
    double startedAt = kNever;  // input time of the block that started the take
    double stoppedAt = kNever;  // input time at the end of the block that stopped it
    int stops = 0;
};

Outcome run(const UnattendedRules& rules, const std::vector<Stretch>& input)
{
    UnattendedSide side(rules);
    Outcome outcome;
    double time = 0.0;
    for (const Stretch& stretch : input) {
        const double peak = std::isinf(stretch.decibels) ? 0.0 : std::pow(10.0, stretch.decibels / 20.0);
        for (long block = std::lround(stretch.seconds / kBlock); block > 0; --block) {
            switch (side.feed(peak, kBlock)) {
            case UnattendedAction::StartTake:
                EXPECT_EQ(outcome.startedAt, kNever) << "started twice";
                outcome.startedAt = time;
                break;
            case UnattendedAction::StopTake:
                if (outcome.stops++ == 0)
                    outcome.stoppedAt = time + kBlock;
                break;
            case UnattendedAction::Continue:
                break;
            }
            time += kBlock;
        }
    }
    return outcome;
}

UnattendedRules sideEnd(double silence)
{
    UnattendedRules rules;
    rules.stopAtSideEnd = true;
    rules.sideEndSilenceSeconds = silence;
    return rules;
}

UnattendedRules startOnSound(double stopAfter = 0.0)
{
    UnattendedRules rules;
    rules.startOnSound = true;
    rules.stopAfterSeconds = stopAfter;
    return rules;
}

UnattendedRules stopAfter(double seconds)
{
    UnattendedRules rules;
    rules.stopAfterSeconds = seconds;
    return rules;
}

TEST(UnattendedSide, DecidesFromTheLevelsAlone)
{
    const struct Case {
        const char* name;
        UnattendedRules rules;
        std::vector<Stretch> input;
        double startedAt;
        double stoppedAt;
    } cases[] = {
        // Lead-in hiss, a side of music, the run-out groove: stopped 20 s into the run-out.
        {"SideEndsInItsRunOut", sideEnd(20), {{-52, 3}, {-14, 100}, {-51, 60}}, kNever, 123.0},
        // The run-out's hiss a little louder than the lead-in's is still the floor (6 dB).
        {"RunOutWithinTheMargin", sideEnd(10), {{-52, 3}, {-14, 100}, {-47, 60}}, kNever, 113.0},
        // Quiet before the first minute counts, but the take goes on to a minute.
        {"NotBeforeAMinute", sideEnd(20), {{-52, 5}, {-14, 30}, {-52, 60}}, kNever, 60.0},
        // A pause shorter than the chosen time does not end the side.
        {"PauseShorterThanTheSilence", sideEnd(20), {{-52, 3}, {-14, 100}, {-52, 15}, {-14, 30}}, kNever, kNever},
        // A quiet passage well above the floor is music, however long.
        {"QuietPassageAboveTheFloor", sideEnd(10), {{-60, 3}, {-14, 100}, {-40, 60}}, kNever, kNever},
        // A steady level is its own floor, but nothing ended.
        {"SteadyToneIsNotTheEnd", sideEnd(10), {{-14, 100}}, kNever, kNever},
        // Off: the run-out goes on being recorded.
        {"SideEndOff", UnattendedRules{}, {{-52, 3}, {-14, 100}, {-52, 60}}, kNever, kNever},
        // The needle drops after 3 s of hiss: the take starts with that block.
        {"SoundStartsTheTake", startOnSound(), {{-62, 3}, {-20, 5}}, 3.0, kNever},
        // Digital silence, then a quiet tone: far above the floor but below -60 dBFS.
        {"TooQuietToStart", startOnSound(), {{kDigitalSilence, 3}, {-65, 5}}, kNever, kNever},
        // Hiss rising by 10 dB is not sound.
        {"RisingHissDoesNotStart", startOnSound(), {{-60, 3}, {-50, 5}}, kNever, kNever},
        // Sound in the very first block is the floor: nothing heard before it to rise above.
        {"SoundFromTheFirstBlockIsTheFloor", startOnSound(), {{-20, 5}}, kNever, kNever},
        // The timer counts recorded time: from the start, not from the arming.
        {"StopAfterCountsFromTheStart", startOnSound(10), {{-62, 3}, {-20, 30}}, 3.0, 13.0},
        {"StopAfter", stopAfter(30), {{-20, 40}}, kNever, 30.0},
        {"StopAfterInSilence", stopAfter(2), {{kDigitalSilence, 5}}, kNever, 2.0},
    };
    for (const Case& c : cases) {
        const Outcome outcome = run(c.rules, c.input);
        EXPECT_NEAR(outcome.startedAt, c.startedAt, 1e-6) << c.name;
        EXPECT_NEAR(outcome.stoppedAt, c.stoppedAt, 1e-6) << c.name << " started at " << outcome.startedAt;
        EXPECT_LE(outcome.stops, 1) << c.name << ": the stop is said once";
    }
}

TEST(UnattendedSide, TheFloorIsTheQuietestBlockWithSilenceAtMinusNinety)
{
    UnattendedSide side;
    EXPECT_EQ(side.noiseFloorDecibels(), 0.0);
    side.feed(0.5, kBlock);
    EXPECT_NEAR(side.noiseFloorDecibels(), -6.0206, 1e-3);
    side.feed(0.001, kBlock);
    side.feed(0.25, kBlock);
    EXPECT_NEAR(side.noiseFloorDecibels(), -60.0, 1e-9);
    side.feed(0.0, kBlock);
    EXPECT_EQ(side.noiseFloorDecibels(), kSilenceDecibels);
    side.addRecordedSeconds(2.0);
    EXPECT_NEAR(side.recordedSeconds(), 2.4, 1e-9);
}

}
}
