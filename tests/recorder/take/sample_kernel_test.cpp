// The one sample kernel of the save's fade and maximise pass and of the raw take maximise, against
// the per-sample definitions of both.

#include "take/raw_take_maximise.h"
#include "take/sample_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace wavelark {
namespace {

// The fade curve 1 - cos(90° × t), as the pass's gains come from it.
double fadeGain(double t)
{
    return 1.0 - std::cos(t * M_PI / 2);
}

struct Gains {
    double fade;
    double maximise;
};

class SampleKernelGains : public ::testing::TestWithParam<Gains> {};

// The one kernel of the save's fade and maximise pass and of the raw take maximise, each of its
// implementations at every 16-bit value, at every position of the vector groups and in the tail.
TEST_P(SampleKernelGains, EveryValueEqualsThePerSampleComputation)
{
    std::vector<int16_t> samples;
    for (int value = -32768; value <= 32767; ++value)
        samples.push_back(static_cast<int16_t>(value));
    std::shuffle(samples.begin(), samples.end(), std::mt19937(17));
    samples.insert(samples.end(), {32767, -32768, 7});
    const Gains gains = GetParam();
    std::vector<int16_t> faded;
    for (int16_t sample : samples)
        faded.push_back(static_cast<int16_t>(std::trunc(std::clamp(gains.fade * sample * gains.maximise, -32766.0, 32766.0))));
    for (const SampleKernel kernel : {SampleKernel::Plain, SampleKernel::Sse2, SampleKernel::Avx2}) {
        if (!sampleKernelAvailable(kernel))
            continue;
        std::vector<int16_t> scaled = samples;
        scaleSamplesWith(kernel, scaled.data(), scaled.size(), gains.fade, gains.maximise);
        EXPECT_EQ(scaled, faded) << "implementation " << static_cast<int>(kernel);
    }
    std::vector<int16_t> chosen = samples;
    scaleSamples(chosen.data(), chosen.size(), gains.fade, gains.maximise);
    EXPECT_EQ(chosen, faded);
    if (gains.fade != 1.0)
        return;
    // The raw take maximise: sample × gain, by its own definition.
    std::vector<int16_t> maximised;
    for (int16_t sample : samples)
        maximised.push_back(static_cast<int16_t>(std::trunc(std::clamp(sample * gains.maximise, -32766.0, 32766.0))));
    std::vector<int16_t> take = samples;
    maximiseSamples(take.data(), take.size(), gains.maximise);
    EXPECT_EQ(take, maximised);
    for (std::size_t index = 0; index < samples.size(); ++index)
        ASSERT_EQ(maximisedSample(samples[index], gains.maximise), maximised[index]) << samples[index];
}

INSTANTIATE_TEST_SUITE_P(Pairs, SampleKernelGains,
                         ::testing::Values(Gains{fadeGain(1.0), 1.0}, Gains{fadeGain(1.0), 32767.0 / 16383.0},
                                           Gains{1.0, 32767.0 / 12345.0}, Gains{1.0, 32767.0},
                                           Gains{1.0, 32767.0 / 32766.0}, Gains{1.0, 0.5},
                                           Gains{fadeGain(1.0 + 2 / 13230.0), 32767.0 / 12345.0},
                                           Gains{fadeGain(0.3), 32767.0 / 30000.0}, Gains{0.0, 3.0},
                                           Gains{fadeGain(0.7), 32767.0 / 3.0}),
                         [](const auto& info) { return "Pair" + std::to_string(info.index); });

}
}
