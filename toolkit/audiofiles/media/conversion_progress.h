// The progress percentage the chunked converters (WAV to MP3, WAV to WMA) report between chunks.
#pragma once

#include <cstdint>

namespace sorvak {

// 100 / (estimatedChunks / chunkNumber) in floating point, truncated toward zero. The estimate
// counts the header bytes too, so the last chunk can come out above 100: the value is held to
// 0..100. An estimate of 0 (a source shorter than one chunk) would divide by zero: 0 instead.
inline int conversionProgress(std::uint64_t estimatedChunks, std::uint64_t chunkNumber)
{
    if (estimatedChunks == 0)
        return 0;
    double value = 100.0 / (static_cast<double>(estimatedChunks) / static_cast<double>(chunkNumber));
    if (!(value > 0.0))
        return 0;
    if (value >= 100.0)
        return 100;
    return static_cast<int>(value);
}

}
