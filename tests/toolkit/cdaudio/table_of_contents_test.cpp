// The table-of-contents reader: a drive's answer, well formed or not. Every length, track
// number and address comes from the drive and is checked before use.

#include "cdaudio/table_of_contents.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace sorvak::cd;

namespace {

using Bytes = std::vector<uint8_t>;

struct Entry {
    uint8_t control;
    uint8_t track;
    uint8_t minute, second, frame;
};

Bytes tocAnswer(uint8_t first, uint8_t last, const std::vector<Entry>& entries)
{
    Bytes bytes = {0, 0, first, last};
    for (const Entry& entry : entries) {
        Bytes descriptor = {0, entry.control, entry.track, 0, 0, entry.minute, entry.second, entry.frame};
        bytes.insert(bytes.end(), descriptor.begin(), descriptor.end());
    }
    bytes[0] = static_cast<uint8_t>((bytes.size() - 2) >> 8);
    bytes[1] = static_cast<uint8_t>(bytes.size() - 2);
    return bytes;
}

// Track 1 at 00:02:00, track 2 (data) at 03:00:00, lead-out at 05:00:00.
Bytes exampleAnswer()
{
    return tocAnswer(1, 2, {{0x10, 1, 0, 2, 0}, {0x14, 2, 3, 0, 0}, {0x14, 0xAA, 5, 0, 0}});
}

}

TEST(TableOfContents, TracksAndTheLeadOutGetTheirFrameAddresses)
{
    TableOfContents table;
    ASSERT_EQ(parseTableOfContents(exampleAnswer(), table), TocError::None);
    EXPECT_EQ(table.firstTrack, 1);
    EXPECT_EQ(table.lastTrack, 2);
    EXPECT_EQ(table.frameAddress[1], 150u);
    EXPECT_EQ(table.frameAddress[2], 13500u);
    EXPECT_EQ(table.frameAddress[3], 22500u);
    EXPECT_FALSE(table.dataTrack[1]);
    EXPECT_TRUE(table.dataTrack[2]);
    EXPECT_TRUE(table.holds(2));
    EXPECT_FALSE(table.holds(3));
    EXPECT_FALSE(table.holds(0));

    // Bytes after the stated length (the rest of the 804-byte buffer) are not read.
    Bytes padded = exampleAnswer();
    padded.resize(804, 0xEE);
    ASSERT_EQ(parseTableOfContents(padded, table), TocError::None);
    EXPECT_EQ(table.frameAddress[3], 22500u);
}

TEST(TableOfContents, NinetyNineTracksFillTheTable)
{
    std::vector<Entry> entries;
    // Two tracks a minute: 00:32:00, 01:02:00, 01:32:00, ... 49:32:00.
    for (int track = 1; track <= 99; ++track)
        entries.push_back({0x10, static_cast<uint8_t>(track), static_cast<uint8_t>(track / 2),
                           static_cast<uint8_t>(track % 2 ? 32 : 2), 0});
    entries.push_back({0x10, 0xAA, 51, 0, 0});
    Bytes answer = tocAnswer(1, 99, entries);
    ASSERT_EQ(answer.size(), 804u);
    TableOfContents table;
    ASSERT_EQ(parseTableOfContents(answer, table), TocError::None);
    EXPECT_EQ(table.frameAddress[100], 51u * 60u * 75u);
}

struct MalformedToc {
    const char* name;
    Bytes answer;
    TocError error;
};

std::ostream& operator<<(std::ostream& out, const MalformedToc& malformed)
{
    return out << malformed.name;
}

class MalformedTableOfContents : public ::testing::TestWithParam<MalformedToc> {};

TEST_P(MalformedTableOfContents, IsRefusedAndTheTableKept)
{
    TableOfContents table;
    table.firstTrack = 7;
    EXPECT_EQ(parseTableOfContents(GetParam().answer, table), GetParam().error);
    EXPECT_EQ(table.firstTrack, 7);
}

namespace {

Bytes withByte(Bytes bytes, size_t index, uint8_t value)
{
    bytes[index] = value;
    return bytes;
}

Bytes cut(Bytes bytes, size_t length)
{
    bytes.resize(length);
    return bytes;
}

std::vector<MalformedToc> malformedTables()
{
    Bytes good = exampleAnswer();
    return {
        {"Empty", {}, TocError::TooShort},
        {"HeaderCut", cut(good, 3), TocError::TooShort},
        {"LengthPastTheAnswer", cut(good, 27), TocError::LongerThanAnswer},
        {"LengthAtMaximum", withByte(withByte(good, 0, 0xFF), 1, 0xFF), TocError::LongerThanAnswer},
        {"FirstTrackZero", withByte(good, 2, 0), TocError::BadTrackRange},
        {"LastTrackAbove99", withByte(good, 3, 100), TocError::BadTrackRange},
        {"LastTrackIsLeadOut", withByte(good, 3, 0xAA), TocError::BadTrackRange},
        {"FirstAfterLast", withByte(withByte(good, 2, 2), 3, 1), TocError::BadTrackRange},
        {"LengthShortOfTheLeadOut", withByte(good, 1, 18), TocError::MissingDescriptor},
        {"MoreTracksThanDescriptors", withByte(good, 3, 3), TocError::MissingDescriptor},
        {"LeadOutNumberedAsTrack", withByte(good, 4 + 16 + 2, 3), TocError::MissingDescriptor},
        {"TracksOutOfOrder", withByte(withByte(good, 4 + 2, 2), 4 + 8 + 2, 1), TocError::MissingDescriptor},
        {"SecondSixty", withByte(good, 4 + 8 + 6, 60), TocError::BadAddress},
        {"FrameSeventyFive", withByte(good, 4 + 8 + 7, 75), TocError::BadAddress},
        {"LogicalAddressInMsfPlace", withByte(good, 4 + 4, 1), TocError::BadAddress},
        {"FirstTrackInTheLeadIn", withByte(good, 4 + 6, 1), TocError::BadAddress},
        {"TrackBeforeTheOneBefore", withByte(good, 4 + 5, 4), TocError::AddressesBackwards},
        {"LeadOutBeforeTheLastTrack", withByte(good, 4 + 16 + 5, 2), TocError::AddressesBackwards},
        {"TwoTracksAtOneAddress", withByte(withByte(good, 4 + 8 + 5, 0), 4 + 8 + 6, 2), TocError::AddressesBackwards},
    };
}

}

INSTANTIATE_TEST_SUITE_P(Cases, MalformedTableOfContents, ::testing::ValuesIn(malformedTables()),
                         [](const ::testing::TestParamInfo<MalformedToc>& info) { return std::string(info.param.name); });

// Random damage to well-formed answers (bytes changed, answers cut or lengthened): whatever the
// reader accepts is a table the ripper can use without a further check. Run under the address
// sanitizer, a read past the answer also fails. tests/fuzz/toc_fuzzer does the same with
// coverage guidance in fuzz builds.
TEST(TableOfContents, DamagedAnswersGiveUsableTablesOrErrors)
{
    std::mt19937 random(20261208);
    const Bytes seeds[] = {exampleAnswer(),
                           tocAnswer(1, 1, {{0x10, 1, 0, 2, 0}, {0x10, 0xAA, 74, 59, 74}}),
                           tocAnswer(3, 5, {{0x10, 3, 0, 2, 0}, {0x10, 4, 1, 0, 0}, {0x14, 5, 2, 0, 0},
                                            {0x14, 0xAA, 9, 0, 0}})};
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes answer = seeds[round % 3];
        int changes = 1 + static_cast<int>(random() % 4);
        for (int change = 0; change < changes; ++change) {
            switch (random() % 4) {
            case 0:
            case 1:
                if (!answer.empty())
                    answer[random() % answer.size()] = static_cast<uint8_t>(random());
                break;
            case 2:
                answer.resize(random() % (answer.size() + 1));
                break;
            default:
                answer.push_back(static_cast<uint8_t>(random()));
                break;
            }
        }
        TableOfContents table;
        if (parseTableOfContents(answer, table) != TocError::None)
            continue;
        ++accepted;
        ASSERT_GE(table.firstTrack, 1);
        ASSERT_LE(table.firstTrack, table.lastTrack);
        ASSERT_LE(table.lastTrack, 99);
        ASSERT_GE(table.frameAddress[table.firstTrack], kLeadInFrames);
        for (int track = table.firstTrack; track <= table.lastTrack; ++track)
            ASSERT_LT(table.frameAddress[track], table.frameAddress[track + 1]) << "round " << round;
    }
    EXPECT_GT(accepted, 100) << "the damage should leave some answers usable";
}
