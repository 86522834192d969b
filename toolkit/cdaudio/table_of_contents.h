// A disc's table of contents as the ripper uses it: the frame address (1/75 s from 00:00:00) of
// every track and of the lead-out, read from a READ TOC answer with minute/second/frame
// addresses. Every field of the answer is checked before use: the drive is not trusted.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace sorvak::cd {

// Frames before logical block 0: logical block = frame address - 150.
inline constexpr uint32_t kLeadInFrames = 150;

struct TableOfContents {
    int firstTrack = 0;
    int lastTrack = 0;
    // Indexed by track number, first ... last + 1; last + 1 holds the lead-out.
    std::array<uint32_t, 101> frameAddress{};
    std::array<bool, 100> dataTrack{};

    bool holds(int track) const { return track >= firstTrack && track <= lastTrack; }
};

enum class TocError {
    None,
    TooShort,            // fewer than the 4 header bytes
    LongerThanAnswer,    // the stated length runs past the bytes the drive returned
    BadTrackRange,       // first or last track outside 1..99, or first after last
    MissingDescriptor,   // a track or the lead-out has no descriptor in its place
    BadAddress,          // second above 59, frame above 74, or before 00:02:00
    AddressesBackwards,  // a track does not start after the one before it, or the lead-out
};

// Reads the answer (only the bytes the drive transferred). On any error the table is left
// unchanged.
TocError parseTableOfContents(std::span<const uint8_t> answer, TableOfContents& table);

}
