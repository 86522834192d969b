#include "wav_file_output.h"

#include "canonical_wav_header.h"
#include "wave_device.h"

#include <cerrno>
#include <cstring>

namespace wavelark::audio {

WavFileOutput::~WavFileOutput()
{
    // A destructor has no one to tell: a file left with sizes of 0 shows it to its reader.
    close();
}

bool WavFileOutput::open(const std::string& path, int sampleRate, std::string& error)
{
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        error = "test output " + path + " cannot be created: " + std::strerror(errno);
        return false;
    }
    m_dataBytes = 0;
    CanonicalWavHeader header = canonicalWavHeader(sampleRate, 16, kChannels);
    if (std::fwrite(header.data(), 1, header.size(), m_file) != header.size()) {
        error = "test output " + path + " cannot be written: " + std::strerror(errno);
        std::fclose(m_file);
        m_file = nullptr;
        return false;
    }
    return true;
}

void WavFileOutput::append(const uint8_t* bytes, size_t count)
{
    if (m_file && count > 0)
        m_dataBytes += std::fwrite(bytes, 1, count, m_file);
}

void WavFileOutput::flush()
{
    if (m_file)
        std::fflush(m_file);
}

bool WavFileOutput::close()
{
    if (!m_file)
        return true;
    bool sized = writeWavSizeFields(m_file, m_dataBytes);
    bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return sized && closed;
}

}
