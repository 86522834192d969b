#include "toolkit/audiofiles/wav_builder.h"

namespace wavelark::testing {

std::string littleEndian16(uint16_t value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string littleEndian32(uint32_t value)
{
    return littleEndian16(static_cast<uint16_t>(value)) + littleEndian16(static_cast<uint16_t>(value >> 16));
}

std::string pcmFormatBody(uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels, bool extended)
{
    uint16_t blockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
    std::string body = littleEndian16(1) + littleEndian16(channels) + littleEndian32(sampleRate)
        + littleEndian32(sampleRate * blockAlign) + littleEndian16(blockAlign) + littleEndian16(bitsPerSample);
    if (extended)
        body += littleEndian16(0);
    return body;
}

std::string riffWave(const std::vector<RiffChunkBytes>& chunks, int64_t riffSize)
{
    std::string content = "WAVE";
    for (const RiffChunkBytes& chunk : chunks) {
        uint32_t size = chunk.declaredSize >= 0 ? static_cast<uint32_t>(chunk.declaredSize)
                                                : static_cast<uint32_t>(chunk.body.size());
        content += chunk.id + littleEndian32(size) + chunk.body;
        if (chunk.padded && chunk.body.size() % 2 == 1)
            content += '\0';
    }
    uint32_t size = riffSize >= 0 ? static_cast<uint32_t>(riffSize) : static_cast<uint32_t>(content.size());
    return "RIFF" + littleEndian32(size) + content;
}

std::string simpleWav(const std::string& samples, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels)
{
    return riffWave({{"fmt ", pcmFormatBody(sampleRate, bitsPerSample, channels)}, {"data", samples}});
}

std::string patternBytes(size_t count)
{
    std::string bytes(count, '\0');
    for (size_t index = 0; index < count; ++index)
        bytes[index] = static_cast<char>(index % 251);
    return bytes;
}

}
