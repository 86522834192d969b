// The FLAC duration from STREAMINFO over hand-built headers: the rate and the 36-bit total, an
// ID3v2 tag in front (with and without a footer), and the streams that state no length.

#include "archive/flac_stream_info.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace wavelark {
namespace {

// "fLaC", a STREAMINFO block header (last block, 34 bytes) and the block: block and frame sizes,
// then 20 bits of rate, 3 of channels - 1, 5 of bits - 1, 36 of total samples, then the MD5.
std::string flacHeader(uint32_t rate, uint64_t total)
{
    std::string bytes("fLaC\x80\x00\x00\x22", 8);
    bytes.append(10, '\x10');
    const uint64_t packed = (uint64_t{rate} << 44) | (uint64_t{1} << 41) | (uint64_t{15} << 36) | total;
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<char>((packed >> shift) & 0xFF));
    bytes.append(16, '\x5a');
    return bytes;
}

// An ID3v2.4 tag of `body` bytes of padding, with a footer when flags say so.
std::string id3Tag(std::size_t body, bool footer)
{
    std::string tag("ID3\x04\x00", 5);
    tag.push_back(footer ? '\x10' : '\x00');
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(static_cast<char>((body >> shift) & 0x7F));
    tag.append(body, '\0');
    if (footer)
        tag += std::string("3DI\x04\x00\x10", 6) + tag.substr(6, 4);
    return tag;
}

struct DurationCase {
    const char* name;
    std::string bytes;
    std::optional<int64_t> expected; // 100 ns
};

class FlacStreamInfo : public ::testing::TestWithParam<DurationCase> {};

TEST_P(FlacStreamInfo, GivesTheDurationTheHeaderStates)
{
    EXPECT_EQ(flacDurationOf(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, FlacStreamInfo,
    ::testing::Values(DurationCase{"FourSecondsAt44100", flacHeader(44100, 4 * 44100), 40000000},
                      DurationCase{"OneFrameAt96000", flacHeader(96000, 1), 104},
                      // Above 32 bits of samples: the 36-bit field's top nibble counts.
                      DurationCase{"ThirtySixBitTotal", flacHeader(48000, 0x912345678ull), 0x912345678ll * 10000000 / 48000},
                      DurationCase{"BehindAnId3Tag", id3Tag(300, false) + flacHeader(44100, 44100), 10000000},
                      DurationCase{"BehindAnId3TagWithFooter", id3Tag(200, true) + flacHeader(44100, 22050), 5000000},
                      // A stream written live states no total; one without a rate is broken.
                      DurationCase{"NoTotal", flacHeader(44100, 0), std::nullopt},
                      DurationCase{"NoRate", flacHeader(0, 44100), std::nullopt},
                      DurationCase{"CutInsideStreamInfo", flacHeader(44100, 44100).substr(0, 30), std::nullopt},
                      DurationCase{"FirstBlockNotStreamInfo", std::string("fLaC\x84", 5) + flacHeader(44100, 44100).substr(5),
                                   std::nullopt},
                      DurationCase{"NotFlac", std::string("RIFF") + flacHeader(44100, 44100).substr(4), std::nullopt}),
    [](const ::testing::TestParamInfo<DurationCase>& info) { return std::string(info.param.name); });

}
}
