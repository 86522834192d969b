// Little-endian integers in byte arrays, as RIFF files and the recorder's own files store them,
// independent of the host's byte order and alignment. Header only: the platform, the toolkit and
// the recorder all use it without linking anything.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wavelark {

// The value of the sizeof(Unsigned) bytes at bytes, lowest first.
template <typename Unsigned>
constexpr Unsigned readLittleEndian(const unsigned char* bytes)
{
    Unsigned value = 0;
    for (std::size_t index = 0; index < sizeof(Unsigned); ++index)
        value |= static_cast<Unsigned>(static_cast<Unsigned>(bytes[index]) << (8 * index));
    return value;
}

// Stores value's bytes at bytes, lowest first.
template <typename Unsigned>
constexpr void writeLittleEndian(unsigned char* bytes, Unsigned value)
{
    for (std::size_t index = 0; index < sizeof(Unsigned); ++index)
        bytes[index] = static_cast<unsigned char>(value >> (8 * index));
}

constexpr uint16_t readLittleEndian16(const unsigned char* bytes) { return readLittleEndian<uint16_t>(bytes); }
constexpr uint32_t readLittleEndian32(const unsigned char* bytes) { return readLittleEndian<uint32_t>(bytes); }
constexpr uint64_t readLittleEndian64(const unsigned char* bytes) { return readLittleEndian<uint64_t>(bytes); }
constexpr void writeLittleEndian16(unsigned char* bytes, uint16_t value) { writeLittleEndian(bytes, value); }
constexpr void writeLittleEndian32(unsigned char* bytes, uint32_t value) { writeLittleEndian(bytes, value); }
constexpr void writeLittleEndian64(unsigned char* bytes, uint64_t value) { writeLittleEndian(bytes, value); }

}
