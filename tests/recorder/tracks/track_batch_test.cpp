// The pure parts of Save Tracks: each track's range and file name from the markers, the side's
// one maximise gain at 0 and -1 dBFS (against the decibel formula worked by hand), the fades at
// each cut, the tracks' tags and the side files' base name.

#include "tracks/track_batch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace wavelark {
namespace {

TrackMarkers threeTracks()
{
    TrackMarkers markers(44100 * 4 * 100);
    markers.add(44100);          // 1 s
    markers.add(44100 * 30);     // 30 s
    markers.add(44100 * 61);     // 61 s
    markers.setEnd(44100 * 90);  // the run-out from 90 s on is left out
    return markers;
}

TEST(BatchTracks, EachTrackRunsFromItsMarkerToTheNextAndTheLastToTheEnd)
{
    const std::vector<BatchTrack> tracks = batchTracks(threeTracks(), {"Intro", "", "A/B"}, SaveFormat::Mp3, 250);
    ASSERT_EQ(tracks.size(), 3u);
    const uint32_t starts[] = {44100 * 4, 44100 * 30 * 4, 44100 * 61 * 4};
    const uint32_t ends[] = {44100 * 30 * 4, 44100 * 61 * 4, 44100 * 90 * 4};
    const char* names[] = {"01 Intro.mp3", "02 Track 02.mp3", "03 A-B.mp3"};
    for (std::size_t index = 0; index < 3; ++index) {
        EXPECT_EQ(tracks[index].number, int(index + 1));
        EXPECT_EQ(tracks[index].range.start, starts[index]) << index;
        EXPECT_EQ(tracks[index].range.end, ends[index]) << index;
        EXPECT_TRUE(tracks[index].range.valid());
        EXPECT_EQ(tracks[index].fileName, names[index]);
    }
    // A missing title is an empty one: the file name holds the default, the tags nothing.
    EXPECT_EQ(tracks[1].title, "");
}

TEST(BatchTracks, NamesTakeTheFormatsExtensionAndFitTheLimit)
{
    const std::string longTitle(300, 'x');
    struct Row {
        SaveFormat format;
        std::size_t limit;
        const char* expectedEnd;
    };
    for (const Row row : {Row{SaveFormat::Wma, 250, ".wma"}, Row{SaveFormat::Wav, 40, ".wav"}}) {
        const std::vector<BatchTrack> tracks = batchTracks(threeTracks(), {longTitle}, row.format, row.limit);
        ASSERT_EQ(tracks.size(), 3u);
        EXPECT_LE(tracks[0].fileName.size(), row.limit);
        EXPECT_TRUE(tracks[0].fileName.ends_with(row.expectedEnd)) << tracks[0].fileName;
    }
}

TEST(BatchTracks, NoMarkerOrATrackPastASaveRangeGivesNoTracks)
{
    EXPECT_TRUE(batchTracks(TrackMarkers(1000), {}, SaveFormat::Mp3, 250).empty());
    TrackMarkers huge(uint64_t(6) << 30);
    huge.add(0);
    huge.setEnd((uint64_t(5) << 30) / 4);  // 5 GiB: past what a 32-bit range holds
    EXPECT_TRUE(batchTracks(huge, {}, SaveFormat::Mp3, 250).empty());
}

struct GainRow {
    bool maximiseOn;
    PeakCeiling ceiling;
    int16_t peak;
    double expected;
};

class SideMaximiseGain : public ::testing::TestWithParam<GainRow> {};

TEST_P(SideMaximiseGain, IsTheCeilingOverTheSidesPeak)
{
    const GainRow& row = GetParam();
    TrackBatchChoices choices;
    choices.maximiseOn = row.maximiseOn;
    choices.ceiling = row.ceiling;
    EXPECT_NEAR(sideMaximiseGain(row.peak, choices), row.expected, 1e-9);
}

// -1 dBFS is 10^(-1/20) = 0.8912509381337456 of full scale.
INSTANTIATE_TEST_SUITE_P(Rows, SideMaximiseGain,
                         ::testing::Values(GainRow{true, PeakCeiling::ZeroDbfs, 16384, 32767.0 / 16384},
                                           GainRow{true, PeakCeiling::MinusOneDbfs, 16384, 32767.0 * 0.8912509381337456 / 16384},
                                           GainRow{true, PeakCeiling::ZeroDbfs, 32767, 1.0},
                                           // A side already above -1 dBFS is brought down to it.
                                           GainRow{true, PeakCeiling::MinusOneDbfs, 32767, 0.8912509381337456},
                                           GainRow{true, PeakCeiling::ZeroDbfs, 0, 1.0},
                                           GainRow{false, PeakCeiling::MinusOneDbfs, 1000, 1.0}));

TEST(CutFades, AreTheSameShortFadeInAndOutOrNone)
{
    TrackBatchChoices choices;
    choices.fadesOn = true;
    choices.fadeMilliseconds = 40;
    const FadeSettings on = cutFades(choices);
    EXPECT_TRUE(on.fadeInOn && on.fadeOutOn);
    EXPECT_EQ(on.fadeInMilliseconds, 40u);
    EXPECT_EQ(on.fadeOutMilliseconds, 40u);
    EXPECT_FALSE(on.maximiseOn);
    for (const auto& [fadesOn, length] : {std::pair{false, 40u}, std::pair{true, 0u}}) {
        choices.fadesOn = fadesOn;
        choices.fadeMilliseconds = length;
        const FadeSettings off = cutFades(choices);
        EXPECT_FALSE(off.fadeInOn || off.fadeOutOn);
    }
}

TEST(TrackTags, CarryTheSidesTextsAndTheTracksNumberOfTotal)
{
    const SideTags side{"Album", "Artist", "1980"};
    const BatchTrack track{2, "Title", SaveRange{0, 4}, "02 Title.mp3"};
    const SorvakTags tags = trackTags(side, track, 7);
    EXPECT_STREQ(tags.title, "Title");
    EXPECT_STREQ(tags.artist, "Artist");
    EXPECT_STREQ(tags.album, "Album");
    EXPECT_STREQ(tags.year, "1980");
    EXPECT_EQ(tags.trackNumber, 2);
    EXPECT_EQ(tags.trackCount, 7);
}

TEST(SideFileBase, IsTheSafeAlbumOrSide)
{
    struct Row {
        std::string album;
        std::size_t limit;
        std::string expected;
    };
    for (const Row& row : {Row{"Blue/Side", 250, "Blue-Side"}, Row{"", 250, "Side"}, Row{" .. ", 250, "Side"},
                           Row{"Line\nbreak", 250, "Line break"}, Row{"abcdefghij", 9, "abcd"}}) {
        const std::string base = sideFileBase(SideTags{row.album, "", ""}, row.limit);
        EXPECT_EQ(base, row.expected) << row.album;
        EXPECT_LE(base.size() + 5, std::max<std::size_t>(row.limit, 9));
    }
}

}
}
