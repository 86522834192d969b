#include "dsp/audio_block.h"

#include <cstdlib>

namespace sorvak::dsp {

namespace {

constexpr size_t kCacheLine = 64;

}

uint8_t* allocateAudioBlock(size_t bytes)
{
    if (bytes > SIZE_MAX - kCacheLine)
        return nullptr;
    // aligned_alloc wants a whole number of alignment units; free() releases its blocks.
    size_t rounded = (bytes + kCacheLine - 1) / kCacheLine * kCacheLine;
    if (rounded == 0)
        rounded = kCacheLine;
    return static_cast<uint8_t*>(std::aligned_alloc(kCacheLine, rounded));
}

}
