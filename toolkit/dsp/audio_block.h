// Memory for the audio blocks the conversion chain hands out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sorvak::dsp {

// Allocates a block of at least `bytes` bytes (a zero-byte request still gives a valid block),
// aligned to a cache line so the conversion loops read and write whole lines. The block belongs
// to the caller and is released with free(). Returns null when memory runs out.
uint8_t* allocateAudioBlock(size_t bytes);

}
