// Little-endian integers in byte arrays, as RIFF files store them, independent of the host's
// byte order and alignment.
#pragma once

#include <cstdint>

namespace sorvak {

inline uint16_t readLittleEndian16(const unsigned char* bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

inline uint32_t readLittleEndian32(const unsigned char* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8
        | static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline void writeLittleEndian16(unsigned char* bytes, uint16_t value)
{
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
}

inline void writeLittleEndian32(unsigned char* bytes, uint32_t value)
{
    for (int index = 0; index < 4; ++index)
        bytes[index] = static_cast<unsigned char>(value >> (8 * index));
}

}
