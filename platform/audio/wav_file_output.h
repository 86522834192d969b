// The test device's output: a 16-bit stereo PCM WAV file whose header sizes are patched when
// the file is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace wavelark::audio {

class WavFileOutput {
public:
    WavFileOutput() = default;
    ~WavFileOutput();
    WavFileOutput(const WavFileOutput&) = delete;
    WavFileOutput& operator=(const WavFileOutput&) = delete;

    // Creates the file (replacing it) with a header of zero sizes.
    bool open(const std::string& path, int sampleRate, std::string& error);
    void append(const uint8_t* bytes, size_t count);
    void flush();
    // Patches the header sizes (held at 4294967295 from 4 GiB on, see canonical_wav_header.h)
    // and closes the file; also done by the destructor. False when the sizes or the end of the
    // file could not be written.
    bool close();

private:
    std::FILE* m_file = nullptr;
    uint64_t m_dataBytes = 0;
};

}
