// What the maximise tests share: the maximise written out plainly, a music-like take, and the
// pass child that kills itself part-way.
#pragma once

#include "capture_test_support.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace wavelark::testing {

// The maximise written out plainly: gain 32767 / peak, clamp to ±32766, truncate.
inline std::vector<int16_t> maximisedByDefinition(const std::vector<int16_t>& samples)
{
    int16_t peak = 0;
    for (int16_t sample : samples)
        peak = std::max(peak, sample);
    if (peak == 0)
        return samples;
    const double gain = 32767.0 / peak;
    std::vector<int16_t> result;
    for (int16_t sample : samples)
        result.push_back(static_cast<int16_t>(std::trunc(std::clamp(sample * gain, -32766.0, 32766.0))));
    return result;
}

// Music-like: a few partials with a slow envelope and some noise.
inline std::vector<int16_t> musicLike(std::size_t frames, double level)
{
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<int16_t> samples(frames * 2);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const double time = frame / 44100.0;
        const double envelope = 0.5 + 0.5 * std::sin(2 * 3.14159 * 0.3 * time);
        const double value = level * envelope
                             * (0.5 * std::sin(2 * 3.14159 * 220 * time) + 0.3 * std::sin(2 * 3.14159 * 331 * time))
                             + noise(random);
        samples[frame * 2] = static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0));
        samples[frame * 2 + 1] = static_cast<int16_t>(std::clamp(-0.7 * value, -32768.0, 32767.0));
    }
    return samples;
}

// A music-like take written to path with a trailing half frame (which the maximise leaves as it
// stands), and the bytes an uninterrupted maximise gives it.
struct TakeWithHalfFrame {
    std::vector<int16_t> samples;
    std::vector<int16_t> expected;
};

inline TakeWithHalfFrame writeTakeWithHalfFrame(const std::string& path, std::size_t frames, double level,
                                                int16_t halfFrame)
{
    TakeWithHalfFrame take;
    take.samples = musicLike(frames, level);
    take.expected = maximisedByDefinition(take.samples);
    take.samples.push_back(halfFrame);
    take.expected.push_back(halfFrame);
    writeSamples(path, take.samples);
    return take;
}

// Runs the pass child, which kills itself when its pass reports killAt percent; true when it
// died of the kill.
inline bool killedPartWay(const char* mode, const std::string& take, int killAt, std::size_t blockSize,
                          const std::string& takeId = {})
{
    const std::string percent = std::to_string(killAt);
    const std::string block = std::to_string(blockSize);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(WAVELARK_TAKE_PASS_CHILD, "take_pass_child", mode, take.c_str(), percent.c_str(), block.c_str(),
                takeId.empty() ? static_cast<char*>(nullptr) : takeId.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// The block of the killed passes: journal windows of 256 KiB.
inline constexpr std::size_t kKillBlock = 4096;
// Take ids as recording marks name them.
inline const std::string kFirstTakeId = "0123456789abcdef0123456789abcdef";
inline const std::string kSecondTakeId = "fedcba9876543210fedcba9876543210";

}
