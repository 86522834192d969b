// The sleeve's song lengths as a user types them.

#include "tracks/song_lengths.h"

#include <gtest/gtest.h>

namespace wavelark {
namespace {

struct LengthsRow {
    const char* text;
    std::vector<double> seconds; // empty: refused
};

class SongLengths : public ::testing::TestWithParam<LengthsRow> {};

TEST_P(SongLengths, ParseOrRefuse)
{
    const LengthsRow row = GetParam();
    std::string error;
    const std::optional<std::vector<double>> lengths = parseSongLengths(row.text, &error);
    if (row.seconds.empty()) {
        EXPECT_FALSE(lengths) << row.text;
        EXPECT_NE(error.find("song length"), std::string::npos) << error;
    } else {
        ASSERT_TRUE(lengths) << row.text << ": " << error;
        EXPECT_EQ(*lengths, row.seconds) << row.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SongLengths, ::testing::Values(
    LengthsRow{"3:12,4:05,2:58", {192, 245, 178}},
    LengthsRow{" 3:12 , 4:05,  2:58 ", {192, 245, 178}},
    LengthsRow{"0:45", {45}},
    LengthsRow{"12:00,103:59", {720, 6239}},
    LengthsRow{"", {}},
    LengthsRow{"3:12,,4:05", {}},        // an empty entry
    LengthsRow{"3:12,", {}},             // a trailing comma
    LengthsRow{"3:60", {}},              // seconds past 59
    LengthsRow{"3:5", {}},               // one digit of seconds
    LengthsRow{"3:055", {}},
    LengthsRow{"192", {}},               // no colon
    LengthsRow{"3.12", {}},
    LengthsRow{"-3:12", {}},
    LengthsRow{"0:00", {}},              // a song of no length
    LengthsRow{"1:02:03", {}},           // hours are not taken
    LengthsRow{"1000:00", {}},           // four digits of minutes
    LengthsRow{"3:1a", {}},
    LengthsRow{"a:12", {}}));

TEST(SongLengths, TheReasonNamesTheEntryThatFailed)
{
    std::string error;
    EXPECT_FALSE(parseSongLengths("3:12, 4:05, 2:x8", &error));
    EXPECT_NE(error.find("song length 3"), std::string::npos) << error;
    EXPECT_NE(error.find("2:x8"), std::string::npos) << error;
}

// The fit's work grows with the square of the count: a side of thousands of "songs" is refused
// before it is fitted, while the most that are taken still parse.
TEST(SongLengths, AtMostTheLargestCountIsTaken)
{
    std::string most;
    for (std::size_t song = 0; song < kMostSongLengths; ++song)
        most += song == 0 ? "0:30" : ",0:30";
    const auto taken = parseSongLengths(most);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->size(), kMostSongLengths);
    std::string error;
    EXPECT_FALSE(parseSongLengths(most + ",0:30", &error));
    EXPECT_NE(error.find("at most"), std::string::npos) << error;
}

}
}
