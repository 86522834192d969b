// Helpers of the audio layer's and the player's tests: choosing the test device for one test,
// reading back the WAV files it writes, and the frame-counting ramp it records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wavelark::testing {

// Sets WAVELARK_AUDIO for the life of the object; the earlier value comes back afterwards.
class AudioSetting {
public:
    explicit AudioSetting(const std::string& value);
    ~AudioSetting();
    AudioSetting(const AudioSetting&) = delete;
    AudioSetting& operator=(const AudioSetting&) = delete;

private:
    std::optional<std::string> m_previous;
};

// Sends what the process writes to its standard error (descriptor 2) into a file at path for
// the life of the object; the earlier standard error comes back afterwards.
class StandardErrorCapture {
public:
    explicit StandardErrorCapture(std::string path);
    ~StandardErrorCapture();
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    // Everything captured so far.
    std::string text() const;

private:
    std::string m_path;
    int m_saved = -1;
};

// The bytes of the data chunk of a WAV file, or nothing when it has none.
std::optional<std::string> wavData(const std::string& path);

// Writes a 44100 Hz 16-bit stereo PCM WAV file holding the given frames.
void writeWav(const std::string& path, const std::string& frames);

// The frame number a ramp frame carries (low 16 bits on the left, high 16 bits on the right).
uint32_t rampFrameNumber(const std::string& bytes, size_t frame);

}
