#include "table_of_contents.h"

namespace sorvak::cd {

namespace {

constexpr size_t kHeaderBytes = 4;
constexpr size_t kDescriptorBytes = 8;
constexpr uint8_t kLeadOutTrack = 0xAA;
constexpr uint8_t kDataTrackControl = 0x04;

}

TocError parseTableOfContents(std::span<const uint8_t> answer, TableOfContents& table)
{
    if (answer.size() < kHeaderBytes)
        return TocError::TooShort;
    // The length field counts the bytes after itself.
    size_t length = static_cast<size_t>(answer[0] << 8 | answer[1]) + 2;
    if (length > answer.size())
        return TocError::LongerThanAnswer;
    int first = answer[2];
    int last = answer[3];
    if (first < 1 || last > 99 || first > last)
        return TocError::BadTrackRange;

    TableOfContents read;
    read.firstTrack = first;
    read.lastTrack = last;
    int entries = last - first + 2;  // the tracks and the lead-out
    if (kHeaderBytes + static_cast<size_t>(entries) * kDescriptorBytes > length)
        return TocError::MissingDescriptor;
    for (int entry = 0; entry < entries; ++entry) {
        const uint8_t* descriptor = answer.data() + kHeaderBytes + static_cast<size_t>(entry) * kDescriptorBytes;
        bool leadOut = entry == entries - 1;
        int track = first + entry;
        if (descriptor[2] != (leadOut ? kLeadOutTrack : track))
            return TocError::MissingDescriptor;
        uint32_t minute = descriptor[5], second = descriptor[6], frame = descriptor[7];
        if (descriptor[4] != 0 || second > 59 || frame > 74)
            return TocError::BadAddress;
        uint32_t address = (minute * 60 + second) * 75 + frame;
        if (address < kLeadInFrames)
            return TocError::BadAddress;
        if (entry > 0 && address <= read.frameAddress[track - 1])
            return TocError::AddressesBackwards;
        read.frameAddress[track] = address;
        if (!leadOut)
            read.dataTrack[track] = (descriptor[1] & kDataTrackControl) != 0;
    }
    table = read;
    return TocError::None;
}

}
