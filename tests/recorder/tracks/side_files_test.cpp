// The files saved beside a side's tracks and their names: the tracks' file names, the cue sheet
// (its times against the 75-frames-a-second arithmetic done by hand) and the playlist.

#include "tracks/cue_sheet.h"
#include "tracks/playlist.h"
#include "tracks/track_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wavelark {
namespace {

struct NameCase {
    const char* name;
    std::string title;
    int number;
    int total;
    const char* extension;
    std::size_t nameLimit;
    std::string expected;
};

class TrackFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(TrackFileName, IsTheNumberAndTheSafeTitleWithinTheLimit)
{
    const NameCase& row = GetParam();
    const std::string name = trackFileName(row.number, row.total, row.title, row.extension, row.nameLimit);
    EXPECT_EQ(name, row.expected);
    EXPECT_LE(name.size(), row.nameLimit);
}

const std::string kLongTitle(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, TrackFileName,
    ::testing::Values(
        NameCase{"Plain", "Song", 1, 5, "mp3", 255, "01 Song.mp3"},
        NameCase{"EmptyIsTheDefault", "", 3, 5, "mp3", 255, "03 Track 03.mp3"},
        NameCase{"SlashReplaced", "AC/DC", 2, 5, "wav", 255, "02 AC-DC.wav"},
        NameCase{"DoubleQuotesBecomeSingle", "Say \"Hi\"", 1, 5, "mp3", 255, "01 Say 'Hi'.mp3"},
        NameCase{"NulAndLineBreaksBecomeBlanks", std::string("A\0B\nC\tD", 7), 1, 5, "mp3", 255, "01 A B C D.mp3"},
        NameCase{"LeadingDotsAndBlanksTrimmed", " ..hidden", 1, 5, "ogg", 255, "01 hidden.ogg"},
        NameCase{"TrailingBlanksTrimmed", "Spaced   ", 1, 5, "ogg", 255, "01 Spaced.ogg"},
        NameCase{"InnerDotsKept", "Vol. 2...", 1, 5, "ogg", 255, "01 Vol. 2....ogg"},
        NameCase{"NothingButDotsAndBlanksIsTheDefault", ". . .", 4, 5, "mp3", 255, "04 Track 04.mp3"},
        NameCase{"Utf8Kept", "\xd0\x9f\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f", 1, 5, "mp3", 255,
                 "01 \xd0\x9f\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f.mp3"},
        NameCase{"MalformedUtf8ByteBecomesAQuestionMark", "A\xff" "B\xc3", 1, 5, "mp3", 255, "01 A?B?.mp3"},
        NameCase{"ThreeDigitsFromAHundredTracks", "Song", 7, 100, "mp3", 255, "007 Song.mp3"},
        NameCase{"TwoDigitsUpToNinetyNine", "Song", 7, 99, "mp3", 255, "07 Song.mp3"},
        NameCase{"DefaultWithThreeDigits", "", 120, 120, "wma", 255, "120 Track 120.wma"},
        NameCase{"CutOnACharacterBoundary", "\xc3\xa5\xc3\xa5\xc3\xa5", 1, 5, "mp3", 10, "01 \xc3\xa5.mp3"},
        NameCase{"CutLeavesNoTrailingBlank", "ab cd", 1, 5, "mp3", 10, "01 ab.mp3"},
        NameCase{"CutToTheLimitExactly", kLongTitle, 1, 5, "mp3", 255, "01 " + std::string(248, 'x') + ".mp3"},
        NameCase{"FirstCharacterDoesNotFit", "\xc3\xa5", 1, 5, "mp3", 8, "01.mp3"},
        NameCase{"NoRoomForATitle", "Song", 1, 5, "mp3", 7, "01.mp3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrackFileNames, EveryTrackOfTheSideGetsItsOwnNameEvenWithEqualTitles)
{
    EXPECT_EQ(trackFileNames({"Same", "Same", "", "same"}, "flac", 255),
              (std::vector<std::string>{"01 Same.flac", "02 Same.flac", "03 Track 03.flac", "04 same.flac"}));
}

TEST(TrackFileNames, DefaultTitlesAreNumberedAsTheFiles)
{
    EXPECT_EQ(defaultTrackTitle(1, 7), "Track 01");
    EXPECT_EQ(defaultTrackTitle(12, 12), "Track 12");
    EXPECT_EQ(defaultTrackTitle(3, 100), "Track 003");
}

// --- Cue sheet -------------------------------------------------------------------------------

struct CueTimeCase {
    uint64_t frame;
    const char* expected;
};

class CueTime : public ::testing::TestWithParam<CueTimeCase> {};

TEST_P(CueTime, IsTheCueFrameThePositionLiesIn)
{
    EXPECT_EQ(cueTime(GetParam().frame), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CueTime,
    ::testing::Values(CueTimeCase{0, "00:00:00"}, CueTimeCase{587, "00:00:00"}, CueTimeCase{588, "00:00:01"},
                      CueTimeCase{44'099, "00:00:74"}, CueTimeCase{44'100, "00:01:00"},
                      CueTimeCase{2'646'000, "01:00:00"}, CueTimeCase{2'645'999, "00:59:74"},
                      CueTimeCase{158'759'412, "59:59:74"}, CueTimeCase{158'759'999, "59:59:74"},
                      CueTimeCase{158'760'000, "60:00:00"}, CueTimeCase{264'600'000, "100:00:00"}),
    [](const auto& info) { return "Frame" + std::to_string(info.param.frame); });

SideTags sideTags()
{
    return {"Live \"At\" Home", "The Band", "1975"};
}

std::vector<SideTrack> sideTracks()
{
    return {{"Opening", "01 Opening.mp3", 88'200, 8'820'000},
            {"Say \"Hi\"\nagain", "02 Say 'Hi' again.mp3", 8'908'788, 4'410'000},
            {"", "03 Track 03.mp3", 13'318'788, 44'100}};
}

TEST(CueSheet, OfTrackFilesIndexesEachFileAtItsStart)
{
    EXPECT_EQ(trackFilesCueSheet(sideTags(), sideTracks()),
              "REM DATE 1975\n"
              "PERFORMER \"The Band\"\n"
              "TITLE \"Live 'At' Home\"\n"
              "FILE \"01 Opening.mp3\" MP3\n"
              "  TRACK 01 AUDIO\n"
              "    TITLE \"Opening\"\n"
              "    PERFORMER \"The Band\"\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"02 Say 'Hi' again.mp3\" MP3\n"
              "  TRACK 02 AUDIO\n"
              "    TITLE \"Say 'Hi' again\"\n"
              "    PERFORMER \"The Band\"\n"
              "    INDEX 01 00:00:00\n"
              "FILE \"03 Track 03.mp3\" MP3\n"
              "  TRACK 03 AUDIO\n"
              "    TITLE \"Track 03\"\n"
              "    PERFORMER \"The Band\"\n"
              "    INDEX 01 00:00:00\n");
}

TEST(CueSheet, OfTheWholeSideIndexesEachTrackAtItsStart)
{
    // 88200 frames are 2 s; 8908788 are 588 x 15151, 202 s and one cue frame; 13318788 are
    // 588 x 22651, 302 s and one.
    EXPECT_EQ(wholeSideCueSheet(SideTags{"", "", ""}, sideTracks(), "Side A.flac"),
              "FILE \"Side A.flac\" WAVE\n"
              "  TRACK 01 AUDIO\n"
              "    TITLE \"Opening\"\n"
              "    INDEX 01 00:02:00\n"
              "  TRACK 02 AUDIO\n"
              "    TITLE \"Say 'Hi' again\"\n"
              "    INDEX 01 03:22:01\n"
              "  TRACK 03 AUDIO\n"
              "    TITLE \"Track 03\"\n"
              "    INDEX 01 05:02:01\n");
}

TEST(CueSheet, HoldsOneToNinetyNineTracks)
{
    EXPECT_FALSE(trackFilesCueSheet(sideTags(), {}).has_value());
    EXPECT_FALSE(wholeSideCueSheet(sideTags(), {}, "side.wav").has_value());
    std::vector<SideTrack> tracks(kMostCueTracks, SideTrack{"T", "t.wav", 0, 1});
    EXPECT_TRUE(trackFilesCueSheet(sideTags(), tracks).has_value());
    tracks.push_back(tracks.back());
    EXPECT_FALSE(trackFilesCueSheet(sideTags(), tracks).has_value());
    EXPECT_FALSE(wholeSideCueSheet(sideTags(), tracks, "side.wav").has_value());
}

TEST(CueSheet, FileTypeFollowsTheExtension)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"01 A.mp3", "MP3"}, {"01 A.MP3", "MP3"}, {"01 A.aiff", "AIFF"}, {"01 A.aif", "AIFF"},
        {"01 A.wav", "WAVE"}, {"01 A.flac", "WAVE"}, {"01 A.ogg", "WAVE"}, {"01 A.wma", "WAVE"},
        {"01 A.mp3.wav", "WAVE"}, {"no extension", "WAVE"}};
    for (const auto& [name, type] : cases)
        EXPECT_EQ(cueFileType(name), type) << name;
}

// --- Playlist --------------------------------------------------------------------------------

TEST(Playlist, NamesEachTrackWithItsLengthArtistAndTitle)
{
    EXPECT_EQ(sidePlaylist(sideTags(), sideTracks()),
              "#EXTM3U\n"
              "#EXTINF:200,The Band - Opening\n"
              "01 Opening.mp3\n"
              "#EXTINF:100,The Band - Say \"Hi\" again\n"
              "02 Say 'Hi' again.mp3\n"
              "#EXTINF:1,The Band - Track 03\n"
              "03 Track 03.mp3\n");
}

TEST(Playlist, WithoutAnArtistGivesTheTitleAlone)
{
    EXPECT_EQ(sidePlaylist(SideTags{"Album", "", ""}, {{"Song", "01 Song.ogg", 0, 441'000}}),
              "#EXTM3U\n#EXTINF:10,Song\n01 Song.ogg\n");
}

TEST(Playlist, AFileNameThatWouldReadAsACommentIsWrittenAsAPath)
{
    EXPECT_EQ(sidePlaylist(SideTags{}, {{"#1", "#1.mp3", 0, 0}}), "#EXTM3U\n#EXTINF:0,#1\n./#1.mp3\n");
}

TEST(Playlist, EmptySideIsTheHeadingAlone)
{
    EXPECT_EQ(sidePlaylist(sideTags(), {}), "#EXTM3U\n");
}

TEST(Playlist, SecondsAreRoundedToTheNearest)
{
    const std::vector<std::pair<uint64_t, uint64_t>> cases = {
        {0, 0}, {22'049, 0}, {22'050, 1}, {44'100, 1}, {66'149, 1}, {66'150, 2}, {8'467'200, 192}};
    for (const auto& [frames, seconds] : cases)
        EXPECT_EQ(playlistSeconds(frames), seconds) << frames << " frames";
}

}
}
