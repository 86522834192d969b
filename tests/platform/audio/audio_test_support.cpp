#include "platform/audio/audio_test_support.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace wavelark::testing {

namespace {

uint32_t little32(const std::string& bytes, size_t offset)
{
    uint32_t value = 0;
    for (int index = 3; index >= 0; --index)
        value = value << 8 | static_cast<uint8_t>(bytes[offset + index]);
    return value;
}

std::string bytes32(uint32_t value)
{
    std::string bytes(4, '\0');
    for (int index = 0; index < 4; ++index)
        bytes[index] = static_cast<char>(value >> (8 * index));
    return bytes;
}

}

StandardErrorCapture::StandardErrorCapture(std::string path)
    : m_path(std::move(path))
{
    std::fflush(stderr);
    m_saved = dup(STDERR_FILENO);
    int file = open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(file, 0) << m_path;
    EXPECT_GE(dup2(file, STDERR_FILENO), 0);
    close(file);
}

StandardErrorCapture::~StandardErrorCapture()
{
    std::fflush(stderr);
    dup2(m_saved, STDERR_FILENO);
    close(m_saved);
}

std::string StandardErrorCapture::text() const
{
    std::fflush(stderr);
    return readFile(m_path);
}

AudioSetting::AudioSetting(const std::string& value)
{
    if (const char* previous = std::getenv("WAVELARK_AUDIO"))
        m_previous = previous;
    setenv("WAVELARK_AUDIO", value.c_str(), 1);
}

AudioSetting::~AudioSetting()
{
    if (m_previous)
        setenv("WAVELARK_AUDIO", m_previous->c_str(), 1);
    else
        unsetenv("WAVELARK_AUDIO");
}

std::optional<std::string> wavData(const std::string& path)
{
    std::string file = readFile(path);
    if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WAVE") != 0)
        return std::nullopt;
    for (size_t offset = 12; offset + 8 <= file.size();) {
        uint32_t size = little32(file, offset + 4);
        if (file.compare(offset, 4, "data") == 0)
            return file.substr(offset + 8, size);
        offset += 8 + size + (size & 1);
    }
    return std::nullopt;
}

void writeWav(const std::string& path, const std::string& frames)
{
    std::string header = "RIFF" + bytes32(36 + static_cast<uint32_t>(frames.size())) + "WAVEfmt " + bytes32(16);
    header += std::string("\x01\x00\x02\x00", 4) + bytes32(44100) + bytes32(176400) + std::string("\x04\x00\x10\x00", 4);
    header += "data" + bytes32(static_cast<uint32_t>(frames.size()));
    writeFile(path, header + frames);
}

uint32_t rampFrameNumber(const std::string& bytes, size_t frame)
{
    return little32(bytes, frame * 4);
}

}
