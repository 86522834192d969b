#include "tracks/level_profile.h"

#include "core/file_toolbox.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numbers>

namespace wavelark {

namespace {

// The high-pass's corner: above mains hum (50, 60 Hz) and turntable rumble, below where music's
// level lives.
constexpr double kHighPassHertz = 150.0;
// The quality factors of the two second-order sections of a fourth-order Butterworth response.
constexpr double kSectionQ[2] = {0.54119610, 1.30656296};
// A full-scale sine's mean square.
constexpr double kFullScaleSineSquare = 32768.0 * 32768.0 / 2.0;

}

double LevelMeter::Section::process(double input)
{
    // Transposed direct form II.
    const double output = b0 * input + z1;
    z1 = b1 * input - a1 * output + z2;
    z2 = b2 * input - a2 * output;
    return output;
}

LevelMeter::LevelMeter()
{
    const double omega = 2.0 * std::numbers::pi * kHighPassHertz / kTrackSampleRate;
    for (int index = 0; index < 2; ++index) {
        const double alpha = std::sin(omega) / (2.0 * kSectionQ[index]);
        const double cosine = std::cos(omega);
        const double a0 = 1.0 + alpha;
        Section& section = m_sections[index];
        section.b0 = (1.0 + cosine) / 2.0 / a0;
        section.b1 = -(1.0 + cosine) / a0;
        section.b2 = section.b0;
        section.a1 = -2.0 * cosine / a0;
        section.a2 = (1.0 - alpha) / a0;
    }
}

static float levelOf(double sum, uint32_t frames)
{
    const double meanSquare = sum / frames / kFullScaleSineSquare;
    if (meanSquare <= 1e-12)
        return kSilenceDb;
    return std::max(kSilenceDb, float(10.0 * std::log10(meanSquare)));
}

void LevelMeter::add(std::span<const int16_t> interleavedFrames)
{
    const std::size_t frames = interleavedFrames.size() / 2;
    const int16_t* samples = interleavedFrames.data();
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const double mean = (double(samples[2 * frame]) + double(samples[2 * frame + 1])) * 0.5;
        const double filtered = m_sections[1].process(m_sections[0].process(mean));
        m_sum += filtered * filtered;
        if (++m_inWindow == kLevelWindowFrames) {
            m_profile.levels.push_back(levelOf(m_sum, m_inWindow));
            m_sum = 0;
            m_inWindow = 0;
        }
    }
    m_profile.frames += frames;
}

LevelProfile LevelMeter::finish()
{
    if (m_inWindow > 0) {
        m_profile.levels.push_back(levelOf(m_sum, m_inWindow));
        m_sum = 0;
        m_inWindow = 0;
    }
    return std::move(m_profile);
}

LevelProfile measureLevels(std::span<const int16_t> interleavedFrames)
{
    LevelMeter meter;
    meter.add(interleavedFrames);
    return meter.finish();
}

std::optional<LevelProfile> readLevelProfile(const PcmRegion& region, std::string* error)
{
    const AlignedBlock block = allocateBlock(kLevelReadBlockBytes);
    LevelMeter meter;
    uint64_t position = 0;
    const uint64_t size = region.dataSize() - region.dataSize() % 4;
    while (position < size) {
        const std::size_t wanted = std::size_t(std::min<uint64_t>(kLevelReadBlockBytes, size - position));
        const ssize_t read = readFully(region.descriptor(), block.get(), wanted, region.dataOffset() + position);
        if (read < 0 || std::size_t(read) < wanted) {
            if (error)
                *error = read < 0 ? std::strerror(errno) : "the file ends before its audio data does";
            return std::nullopt;
        }
        meter.add({reinterpret_cast<const int16_t*>(block.get()), wanted / 2});
        position += wanted;
    }
    return meter.finish();
}

std::size_t windowsOf(double seconds)
{
    return std::size_t(std::max(0.0, std::round(seconds / kLevelWindowSeconds)));
}

}
