#include "wav_file_output.h"

#include "wave_device.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace wavelark::audio {

namespace {

void putLittle32(uint8_t* bytes, uint32_t value)
{
    for (int index = 0; index < 4; ++index)
        bytes[index] = static_cast<uint8_t>(value >> (8 * index));
}

void putLittle16(uint8_t* bytes, uint16_t value)
{
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
}

std::array<uint8_t, 44> header(int sampleRate, uint32_t dataBytes)
{
    std::array<uint8_t, 44> bytes{};
    std::memcpy(bytes.data(), "RIFF", 4);
    putLittle32(bytes.data() + 4, 36 + dataBytes);
    std::memcpy(bytes.data() + 8, "WAVEfmt ", 8);
    putLittle32(bytes.data() + 16, 16);
    putLittle16(bytes.data() + 20, 1);
    putLittle16(bytes.data() + 22, kChannels);
    putLittle32(bytes.data() + 24, static_cast<uint32_t>(sampleRate));
    putLittle32(bytes.data() + 28, static_cast<uint32_t>(sampleRate) * kBytesPerFrame);
    putLittle16(bytes.data() + 32, kBytesPerFrame);
    putLittle16(bytes.data() + 34, 16);
    std::memcpy(bytes.data() + 36, "data", 4);
    putLittle32(bytes.data() + 40, dataBytes);
    return bytes;
}

}

WavFileOutput::~WavFileOutput()
{
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
    auto bytes = header(sampleRate, 0);
    std::fwrite(bytes.data(), 1, bytes.size(), m_file);
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

void WavFileOutput::close()
{
    if (!m_file)
        return;
    // Sizes past 4 GiB cannot be written into the header; the data is still all there.
    uint32_t dataBytes = m_dataBytes > 0xFFFFFFDBu ? 0xFFFFFFDBu : static_cast<uint32_t>(m_dataBytes);
    uint8_t size[4];
    putLittle32(size, 36 + dataBytes);
    std::fseek(m_file, 4, SEEK_SET);
    std::fwrite(size, 1, 4, m_file);
    putLittle32(size, dataBytes);
    std::fseek(m_file, 40, SEEK_SET);
    std::fwrite(size, 1, 4, m_file);
    std::fclose(m_file);
    m_file = nullptr;
}

}
