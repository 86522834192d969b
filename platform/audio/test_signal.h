// The test device's input signals: silence, a sine, a frame-counting ramp (loud at once or after
// a quiet start) or a WAV file's frames.
#pragma once

#include "test_settings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wavelark::audio {

// Reads the data chunk of a 16-bit stereo PCM WAV file at the given rate into frames (whole
// frames only); false with the reason in error when the file cannot be read or does not match.
bool readWavFrames(const std::string& path, int sampleRate, std::vector<uint8_t>& frames, std::string& error);

class TestSignal {
public:
    // Null with the reason in error when the WAV input cannot be read or does not match.
    static std::unique_ptr<TestSignal> create(const TestSettings& settings, int sampleRate, std::string& error);

    // Writes the next frames (4 bytes each) of the signal; the signal goes on where it stopped.
    void generate(uint8_t* bytes, size_t frames);

private:
    TestSignal() = default;

    TestInput m_input = TestInput::Silence;
    double m_amplitude = 0.0;
    double m_radiansPerFrame = 0.0;
    uint64_t m_rampOnsetFrame = 0;
    std::vector<uint8_t> m_fileFrames;
    uint64_t m_frame = 0;
};

}
