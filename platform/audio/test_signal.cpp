#include "test_signal.h"

#include "little_endian.h"
#include "wave_device.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

namespace wavelark::audio {

namespace {

void putSample(uint8_t* bytes, int16_t sample)
{
    bytes[0] = static_cast<uint8_t>(sample & 0xFF);
    bytes[1] = static_cast<uint8_t>((sample >> 8) & 0xFF);
}

}

bool readWavFrames(const std::string& path, int sampleRate, std::vector<uint8_t>& frames, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0
        || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        error = "test input " + path + " is not a readable WAV file";
        return false;
    }
    bool formatMatches = false;
    for (size_t offset = 12; offset + 8 <= file.size();) {
        const uint8_t* chunk = file.data() + offset;
        size_t size = std::min<size_t>(readLittleEndian32(chunk + 4), file.size() - offset - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            formatMatches = readLittleEndian16(chunk + 8) == 1 && readLittleEndian16(chunk + 10) == kChannels
                            && readLittleEndian32(chunk + 12) == static_cast<uint32_t>(sampleRate)
                            && readLittleEndian16(chunk + 22) == 16;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!formatMatches)
                break;
            frames.assign(chunk + 8, chunk + 8 + size / kBytesPerFrame * kBytesPerFrame);
            return true;
        }
        offset += 8 + size + (size & 1);
    }
    error = "test input " + path + " is not 16-bit stereo PCM at " + std::to_string(sampleRate) + " Hz";
    return false;
}

std::unique_ptr<TestSignal> TestSignal::create(const TestSettings& settings, int sampleRate, std::string& error)
{
    std::unique_ptr<TestSignal> signal(new TestSignal);
    signal->m_input = settings.input;
    signal->m_amplitude = 32767.0 * std::pow(10.0, settings.sineLevelDecibels / 20.0);
    signal->m_radiansPerFrame = 2.0 * std::numbers::pi * settings.sineFrequency / sampleRate;
    signal->m_rampOnsetFrame = static_cast<uint64_t>(std::llround(settings.rampOnsetSeconds * sampleRate));
    if (settings.input == TestInput::WavFile && !readWavFrames(settings.inputFile, sampleRate, signal->m_fileFrames, error))
        return nullptr;
    return signal;
}

void TestSignal::generate(uint8_t* bytes, size_t frames)
{
    for (size_t index = 0; index < frames; ++index, ++m_frame) {
        uint8_t* frame = bytes + index * kBytesPerFrame;
        switch (m_input) {
        case TestInput::Silence:
            std::memset(frame, 0, kBytesPerFrame);
            break;
        case TestInput::Sine: {
            // The phase comes from the frame number, so it never drifts however long the run.
            double phase = std::fmod(static_cast<double>(m_frame) * m_radiansPerFrame, 2.0 * std::numbers::pi);
            auto sample = static_cast<int16_t>(std::lround(m_amplitude * std::sin(phase)));
            putSample(frame, sample);
            putSample(frame + 2, sample);
            break;
        }
        case TestInput::Ramp:
            if (m_frame < m_rampOnsetFrame) {
                putSample(frame, static_cast<int16_t>(m_frame & 0x3F));
                putSample(frame + 2, static_cast<int16_t>((m_frame >> 6) & 0x3F));
                break;
            }
            putSample(frame, static_cast<int16_t>(m_frame & 0xFFFF));
            putSample(frame + 2, static_cast<int16_t>((m_frame >> 16) & 0xFFFF));
            break;
        case TestInput::WavFile:
            if (m_frame * kBytesPerFrame < m_fileFrames.size())
                std::memcpy(frame, m_fileFrames.data() + m_frame * kBytesPerFrame, kBytesPerFrame);
            else
                std::memset(frame, 0, kBytesPerFrame);
            break;
        }
    }
}

}
