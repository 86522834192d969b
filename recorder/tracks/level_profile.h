// The short-term level of a take: one value in dB per 10 ms window (441 frames of 44100 Hz
// 16-bit stereo), measured above the low end so that rumble and mains hum do not hide the gaps
// between songs. The break finder works on this profile alone; a 20-minute side is 120,000
// values (under half a megabyte).
//
// Thread: pure functions and a value type, callable from any thread; nothing is shared.
// Memory: the profile (4 bytes a window) and, for readLevelProfile, one read block of
// kLevelReadBlockBytes; the take is never held whole.
// Errors: readLevelProfile returns nothing, with the system's reason, when the region cannot be
// read to its end.
#pragma once

#include "take/pcm_blocks.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wavelark {

inline constexpr uint32_t kTrackSampleRate = 44100;
// The frames of one profile window: 10 ms.
inline constexpr uint32_t kLevelWindowFrames = 441;
inline constexpr double kLevelWindowSeconds = double(kLevelWindowFrames) / kTrackSampleRate;
// The level of digital silence; no window is reported below it.
inline constexpr float kSilenceDb = -120.0f;
// The read block of readLevelProfile: 256 whole windows of 4-byte frames.
inline constexpr std::size_t kLevelReadBlockBytes = std::size_t(kLevelWindowFrames) * 4 * 256;

struct LevelProfile {
    std::vector<float> levels; // dB relative to full scale, one per window; the last window may be partial
    uint64_t frames = 0;       // the frames measured
};

// Measures stereo frames (interleaved left, right) window by window. The mean of the two
// channels passes a fourth-order high-pass at 150 Hz (two Butterworth sections); each window's
// level is the mean square of the filtered samples relative to a full-scale sine, in dB (a sine
// of amplitude 0.1 above 150 Hz measures -20 dB),
// no lower than kSilenceDb. Frames may be handed over in pieces of any size: the result does not
// depend on how the take was cut.
class LevelMeter {
public:
    LevelMeter();
    void add(std::span<const int16_t> interleavedFrames);
    // The profile of everything added; a trailing partial window counts as a window of its own.
    LevelProfile finish();

private:
    struct Section {
        double b0, b1, b2, a1, a2;
        double z1 = 0, z2 = 0;
        double process(double input);
    };
    Section m_sections[2];
    double m_sum = 0;
    uint32_t m_inWindow = 0;
    LevelProfile m_profile;
};

// The profile of samples in memory (interleaved stereo; an odd trailing sample is ignored).
LevelProfile measureLevels(std::span<const int16_t> interleavedFrames);

// Reads the region (a raw take or a WAV file's data, 16-bit stereo little-endian) once, in
// blocks, and measures it.
std::optional<LevelProfile> readLevelProfile(const PcmRegion& region, std::string* error = nullptr);

// The windows of a duration in seconds, rounded to the nearest window.
std::size_t windowsOf(double seconds);
// The first frame of a window.
inline uint64_t frameOfWindow(std::size_t window) { return uint64_t(window) * kLevelWindowFrames; }

}
