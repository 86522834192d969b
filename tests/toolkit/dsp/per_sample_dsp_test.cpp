// The fade curve, the cascaded filter and the tone generator.
#include "sorvak.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double kHalfRootTwo = std::sqrt(2.0) / 2.0;

struct FadeCase {
    double x;
    double fullScale;
    int flags;
    double expected;
};

class FadeCurve : public testing::TestWithParam<FadeCase> {};

TEST_P(FadeCurve, FollowsTheQuarterCosine)
{
    const FadeCase& c = GetParam();
    EXPECT_NEAR(lin2log(c.x, c.fullScale, c.flags), c.expected, 1e-15 * (1 + std::fabs(c.fullScale)))
        << "x " << c.x << " m " << c.fullScale << " flags " << c.flags;
}

// Flag 1 rises as 1 - cos(90 deg * v), no flag falls as cos(90 deg * v), flag 2 reverses v.
INSTANTIATE_TEST_SUITE_P(Points, FadeCurve,
                         testing::Values(FadeCase{0.0, 1.0, 1, 0.0}, FadeCase{0.5, 1.0, 1, 1.0 - kHalfRootTwo},
                                         FadeCase{1.0, 1.0, 1, 1.0}, FadeCase{0.0, 1.0, 0, 1.0},
                                         FadeCase{0.5, 1.0, 0, kHalfRootTwo}, FadeCase{1.0, 1.0, 0, 0.0},
                                         FadeCase{0.0, 1.0, 3, 1.0}, FadeCase{0.5, 1.0, 3, 1.0 - kHalfRootTwo},
                                         FadeCase{1.0, 1.0, 3, 0.0}, FadeCase{1.0, 2.0, 1, 2.0 - 2.0 * kHalfRootTwo},
                                         FadeCase{2.0, 4.0, 0, 4.0 * kHalfRootTwo}));

TEST(FadeCurve, ReversedRiseIsTheRiseFromTheOtherEnd)
{
    for (double x : {0.0, 0.1, 0.25, 0.5, 0.8, 1.0})
        EXPECT_DOUBLE_EQ(lin2log(x, 1.0, 3), lin2log(1.0 - x, 1.0, 1)) << x;
}

TEST(FadeCurve, UsesTheFullPrecisionDegreeConstant)
{
    // (0.3 * 90 + 180) degrees, worked with the double nearest pi / 180.
    double expected = 1.0 * (std::cos((0.3 * 90.0 + 180.0) * 0.017453292519943295) + 1.0);
    EXPECT_EQ(lin2log(0.3, 1.0, 1), expected);
}

TEST(ToneGenerator, StartsAtTheAmplitudeAndRepeatsEveryHundredCallsAt441Hz)
{
    double phase = 0.0;
    double first[100];
    for (double& sample : first)
        sample = SineWave(44100, 441.0, 0.5, &phase);
    EXPECT_EQ(first[0], 0.5);
    EXPECT_NEAR(first[50], -0.5, 1e-12);
    for (int call = 0; call < 100; ++call)
        EXPECT_NEAR(SineWave(44100, 441.0, 0.5, &phase), first[call], 1e-12) << call;
}

TEST(ToneGenerator, AdvancesThePhaseByThreeAndAHalfTenthsOfADegreeAtTheShortConstant)
{
    double phase = 0.0;
    SineWave(44100, 441.0, 2.0, &phase);
    EXPECT_EQ(phase, std::fmod(0.0 + (441.0 / 44100) * 360.0, 360.0));
    // The generator's own short form of pi / 180, not the full-precision one.
    EXPECT_EQ(SineWave(44100, 441.0, 2.0, &phase), 2.0 * std::cos(phase * 0.01745329251994));
    EXPECT_NE(std::cos(3.6 * 0.01745329251994), std::cos(3.6 * 0.017453292519943295));
}

TEST(ToneGenerator, WrapsThePhaseBelow360Degrees)
{
    double phase = 359.0;
    SineWave(1000, 10.0, 1.0, &phase);
    EXPECT_NEAR(phase, 2.6, 1e-12);
}

struct FilterCase {
    int type;
    int stages;
    double damping;
    double frequency;
    double gain;
    double settled;  // as a multiple of the constant input
};

class FilterSettling : public testing::TestWithParam<FilterCase> {};

TEST_P(FilterSettling, SettlesOnAConstantInput)
{
    const FilterCase& c = GetParam();
    AudioFilterState state{};
    double y = 0.0;
    for (int sample = 0; sample < 200000; ++sample)
        y = AudioFilter(0.75, c.frequency, c.damping, c.gain, 44100, c.type, c.stages, 0, &state);
    EXPECT_NEAR(y, 0.75 * c.settled, 1e-9) << "type " << c.type << " stages " << c.stages;
}

// The low-pass loop passes 0 Hz at gain g; the subtracting types leave input minus that.
INSTANTIATE_TEST_SUITE_P(Types, FilterSettling,
                         testing::Values(FilterCase{0, 1, 0.5, 1000.0, 1.0, 1.0}, FilterCase{0, 4, 0.9, 440.0, 1.0, 1.0},
                                         FilterCase{0, 16, 0.2, 2000.0, 1.0, 1.0},
                                         FilterCase{0, 1, 0.0, 500.0, 1.0, 1.0}, FilterCase{1, 1, 0.5, 1000.0, 1.0, 0.0},
                                         FilterCase{1, 3, 0.7, 1500.0, 1.0, 0.0}));

TEST(AudioFilter, FirstSamplesFollowTheIntegratorLoops)
{
    double w = 6.283185307179586 * 1000.0 / 44100;
    double r = 1.0 - 0.3;
    double g = 0.8;
    // Low-pass loop, two stages, from a zero state with input 1.
    AudioFilterState state{};
    double a0 = w * 1.0;
    double b0 = w * a0;
    double y0 = g * b0;
    double a1 = w * y0;
    double b1 = w * a1;
    EXPECT_EQ(AudioFilter(1.0, 1000.0, 0.3, g, 44100, 0, 2, 0, &state), g * b1);
    EXPECT_EQ(state.third[0], r * a0 + b0);
    // Band loop, one stage.
    AudioFilterState band{};
    double e = w * 1.0;
    EXPECT_EQ(AudioFilter(1.0, 1000.0, 0.3, g, 44100, 2, 1, 0, &band), g * e);
    EXPECT_EQ(band.secondIntegrator[0], w * g * e);
    EXPECT_EQ(band.firstIntegrator[0], r * e + w * g * e);
    // Type 3 subtracts the band output from the input, and invert flips that.
    AudioFilterState subtracted{};
    EXPECT_EQ(AudioFilter(1.0, 1000.0, 0.3, g, 44100, 3, 1, 0, &subtracted), 1.0 - g * e);
    AudioFilterState inverted{};
    EXPECT_EQ(AudioFilter(1.0, 1000.0, 0.3, g, 44100, 3, 1, 1, &inverted), -(1.0 - g * e));
}

TEST(AudioFilter, NoStagePassesTheSampleAndMoreThanSixteenRunSixteen)
{
    AudioFilterState none{};
    EXPECT_EQ(AudioFilter(0.25, 1000.0, 0.5, 1.0, 44100, 0, 0, 0, &none), 0.25);
    EXPECT_EQ(AudioFilter(0.25, 1000.0, 0.5, 1.0, 44100, 0, -3, 0, &none), 0.25);
    AudioFilterState sixteen{};
    AudioFilterState many{};
    for (int sample = 0; sample < 50; ++sample)
        EXPECT_EQ(AudioFilter(1.0, 3000.0, 0.5, 1.0, 44100, 1, 100, 0, &many),
                  AudioFilter(1.0, 3000.0, 0.5, 1.0, 44100, 1, 16, 0, &sixteen));
}

}
