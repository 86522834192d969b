#include "archive/flac_stream_info.h"

#include "core/file_toolbox.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>

namespace wavelark {

namespace {

constexpr std::size_t kId3HeaderBytes = 10;
constexpr std::size_t kStreamInfoEnd = 4 + 4 + 34; // "fLaC", the block header, STREAMINFO

uint8_t byteAt(std::string_view bytes, std::size_t index)
{
    return static_cast<uint8_t>(bytes[index]);
}

// The length of an ID3v2 tag at the start (header, body and footer), 0 when there is none.
std::size_t id3Length(std::string_view bytes)
{
    if (bytes.size() < kId3HeaderBytes || bytes.substr(0, 3) != "ID3")
        return 0;
    // The body's size is "synchsafe": four bytes of seven bits each.
    std::size_t body = 0;
    for (std::size_t index = 6; index < 10; ++index)
        body = (body << 7) | (byteAt(bytes, index) & 0x7F);
    const bool footer = (byteAt(bytes, 5) & 0x10) != 0;
    return kId3HeaderBytes + body + (footer ? kId3HeaderBytes : 0);
}

}

std::optional<int64_t> flacDurationOf(std::string_view bytes)
{
    const std::size_t start = id3Length(bytes);
    if (bytes.size() < start + kStreamInfoEnd)
        return std::nullopt;
    const std::string_view stream = bytes.substr(start);
    // The first metadata block must be STREAMINFO (type 0) of 34 bytes.
    if (stream.substr(0, 4) != "fLaC" || (byteAt(stream, 4) & 0x7F) != 0 || byteAt(stream, 5) != 0 || byteAt(stream, 6) != 0
        || byteAt(stream, 7) != 34)
        return std::nullopt;
    // After the block and frame sizes (10 bytes): 20 bits of rate, 3 of channels, 5 of bits per
    // sample, 36 of total samples, all big-endian.
    const std::size_t info = 8 + 10;
    const uint32_t rate = (uint32_t{byteAt(stream, info)} << 12) | (uint32_t{byteAt(stream, info + 1)} << 4)
                          | (byteAt(stream, info + 2) >> 4);
    uint64_t total = byteAt(stream, info + 3) & 0x0F;
    for (std::size_t index = info + 4; index < info + 8; ++index)
        total = (total << 8) | byteAt(stream, index);
    if (rate == 0 || total == 0)
        return std::nullopt;
    return static_cast<int64_t>(total * 10000000 / rate);
}

std::optional<int64_t> flacDuration(const char* path)
{
    // A first read of 4 KiB covers the marker and STREAMINFO of the usual files; behind a longer
    // ID3v2 tag (one with pictures) the block is read at the tag's end.
    std::array<uint8_t, 4096> first {};
    const FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const ssize_t got = file.isOpen() ? readFully(file.get(), first.data(), first.size(), 0) : -1;
    if (got <= 0)
        return std::nullopt;
    const std::string_view bytes(reinterpret_cast<const char*>(first.data()), static_cast<std::size_t>(got));
    const std::size_t tag = id3Length(bytes);
    if (tag + kStreamInfoEnd <= bytes.size() || tag == 0)
        return flacDurationOf(bytes);
    std::array<uint8_t, kStreamInfoEnd> block {};
    if (readFully(file.get(), block.data(), block.size(), tag) != static_cast<ssize_t>(block.size()))
        return std::nullopt;
    return flacDurationOf(std::string_view(reinterpret_cast<const char*>(block.data()), block.size()));
}

}
