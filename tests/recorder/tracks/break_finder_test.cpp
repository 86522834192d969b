// The break finder on planted level profiles: songs as stretches of music level, gaps at the
// floor, lead-ins and run-outs, and the hard cases (no gap at all, a song asked to be three,
// sleeve lengths with a gap too few or too many).

#include "tracks/break_finder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace wavelark {
namespace {

constexpr float kFloor = -60.0f;
constexpr float kMusic = -18.0f;

// A profile built stretch by stretch: music with a deterministic ripple (notes), or the floor.
class PlantedSide {
public:
    PlantedSide& music(double seconds, float levelDb = kMusic)
    {
        return stretch(seconds, levelDb, 6.0f);
    }
    PlantedSide& floor(double seconds) { return stretch(seconds, kFloor, 1.0f); }
    // The frame of the current end, where the next stretch starts.
    uint64_t here() const { return uint64_t(m_levels.size()) * kLevelWindowFrames; }
    LevelProfile profile() const { return {m_levels, here()}; }

private:
    PlantedSide& stretch(double seconds, float levelDb, float ripple)
    {
        const std::size_t windows = windowsOf(seconds);
        for (std::size_t index = 0; index < windows; ++index) {
            const uint64_t mixed = ((m_levels.size() + 1) * 0x9E3779B97F4A7C15ull) >> 40;
            m_levels.push_back(levelDb + ripple * (float(mixed % 2001) / 1000.0f - 1.0f));
        }
        return *this;
    }
    std::vector<float> m_levels;
};

struct Gap {
    uint64_t start;
    uint64_t end;
};

// A side of songs of the given lengths with gaps of the given lengths between them, a lead-in
// and a run-out; the gaps' frames in gaps.
LevelProfile plantSide(const std::vector<double>& songs, const std::vector<double>& gapSeconds, std::vector<Gap>& gaps,
                       double leadIn = 2.0, double runOut = 6.0)
{
    PlantedSide side;
    side.floor(leadIn);
    for (std::size_t index = 0; index < songs.size(); ++index) {
        side.music(songs[index]);
        if (index < gapSeconds.size()) {
            const uint64_t start = side.here();
            side.floor(gapSeconds[index]);
            gaps.push_back({start, side.here()});
        }
    }
    side.floor(runOut);
    return side.profile();
}

void expectBreaksInGaps(const TrackProposal& proposal, const std::vector<Gap>& gaps)
{
    ASSERT_EQ(proposal.breaks.size(), gaps.size());
    for (std::size_t index = 0; index < gaps.size(); ++index) {
        EXPECT_GE(proposal.breaks[index].frame, gaps[index].start) << "break " << index;
        EXPECT_LE(proposal.breaks[index].frame, gaps[index].end) << "break " << index;
        EXPECT_GE(proposal.breaks[index].confidence, kConvincingConfidence) << "break " << index;
    }
}

void expectContiguous(const TrackProposal& proposal, uint64_t frames)
{
    ASSERT_FALSE(proposal.tracks.empty());
    ASSERT_EQ(proposal.breaks.size() + 1, proposal.tracks.size());
    for (std::size_t index = 0; index < proposal.tracks.size(); ++index) {
        EXPECT_LT(proposal.tracks[index].startFrame, proposal.tracks[index].endFrame);
        if (index > 0) {
            EXPECT_EQ(proposal.tracks[index].startFrame, proposal.tracks[index - 1].endFrame);
            EXPECT_EQ(proposal.tracks[index].startFrame, proposal.breaks[index - 1].frame);
        }
    }
    EXPECT_LE(proposal.tracks.back().endFrame, frames);
}

struct RequestRow {
    const char* name;
    TrackRequest request;
};

class PlantedRequests : public ::testing::TestWithParam<RequestRow> {};

TEST_P(PlantedRequests, PutEveryBreakInItsGapAndTrimTheEnds)
{
    std::vector<Gap> gaps;
    const LevelProfile profile = plantSide({62, 45, 80, 51}, {2.0, 0.8, 4.0}, gaps, 3.0, 9.0);
    const TrackProposal proposal = proposeTracks(profile, GetParam().request);
    expectContiguous(proposal, profile.frames);
    ASSERT_EQ(proposal.tracks.size(), 4u);
    expectBreaksInGaps(proposal, gaps);
    // The lead-in (3 s) and the run-out (9 s) are trimmed to the edge margin.
    const double start = double(proposal.tracks.front().startFrame) / kTrackSampleRate;
    const double end = double(profile.frames - proposal.tracks.back().endFrame) / kTrackSampleRate;
    EXPECT_NEAR(start, 3.0 - kEdgeMarginSeconds, 0.1);
    EXPECT_NEAR(end, 9.0 - kEdgeMarginSeconds, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Rows, PlantedRequests, ::testing::Values(
    RequestRow{"Nothing", {}},
    RequestRow{"FourSongs", {4, {}}},
    RequestRow{"SleeveLengths", {0, {63, 44, 81, 50}}}),
    [](const ::testing::TestParamInfo<RequestRow>& info) { return info.param.name; });

TEST(BreakFinder, NSongsTakesTheBestGapsOnly)
{
    // Five gaps, the 0.5 s one and the shallow one the weakest: three songs take the two best.
    PlantedSide side;
    side.floor(1).music(40);
    const uint64_t first = side.here();
    side.floor(3).music(40);
    side.floor(0.5).music(40);
    side.music(2, -40.0f).music(40);   // a quiet passage, 20 dB over the floor
    const uint64_t second = side.here();
    side.floor(2.5).music(40).floor(5);
    const TrackProposal proposal = proposeTracks(side.profile(), {3, {}});
    ASSERT_EQ(proposal.breaks.size(), 2u);
    EXPECT_GE(proposal.breaks[0].frame, first);
    EXPECT_LE(proposal.breaks[0].frame, first + 3 * 44100);
    EXPECT_GE(proposal.breaks[1].frame, second);
    EXPECT_LE(proposal.breaks[1].frame, second + uint64_t(2.5 * 44100));
}

TEST(BreakFinder, ASideWithoutGapsIsOneTrack)
{
    PlantedSide side;
    side.music(300);
    const TrackProposal proposal = proposeTracks(side.profile());
    ASSERT_EQ(proposal.tracks.size(), 1u);
    EXPECT_TRUE(proposal.breaks.empty());
    EXPECT_EQ(proposal.tracks[0].startFrame, 0u);
    EXPECT_EQ(proposal.tracks[0].endFrame, side.here());
}

TEST(BreakFinder, OneSongAskedToBeThreeGivesWhatItCanWithLowConfidence)
{
    PlantedSide side;
    side.floor(2).music(100).floor(5);
    const TrackProposal proposal = proposeTracks(side.profile(), {3, {}});
    expectContiguous(proposal, side.here());
    EXPECT_EQ(proposal.tracks.size(), 3u);
    for (const TrackBreak& trackBreak : proposal.breaks)
        EXPECT_LE(trackBreak.confidence, 0.3f);
    for (const Track& track : proposal.tracks)
        EXPECT_GE(double(track.endFrame - track.startFrame) / kTrackSampleRate, kShortestTrackSeconds - 1);

    // Too short for three tracks of the shortest length: fewer, never a track of nothing.
    PlantedSide shortSide;
    shortSide.floor(1).music(25).floor(2);
    const TrackProposal shortProposal = proposeTracks(shortSide.profile(), {3, {}});
    expectContiguous(shortProposal, shortSide.here());
    EXPECT_LT(shortProposal.tracks.size(), 3u);
}

TEST(BreakFinder, ABreakWithoutAGapGoesToTheQuietestPointOfTheTransition)
{
    // A medley: two songs joined by a second at -40 dB, no floor between them.
    PlantedSide side;
    side.floor(2).music(60);
    const uint64_t join = side.here();
    side.music(1, -40.0f).music(60).floor(4);
    const TrackProposal proposal = proposeTracks(side.profile(), {2, {}});
    ASSERT_EQ(proposal.breaks.size(), 1u);
    EXPECT_GE(proposal.breaks[0].frame, join);
    EXPECT_LE(proposal.breaks[0].frame, join + 44100);
    EXPECT_LT(proposal.breaks[0].confidence, kConvincingConfidence);
}

struct LengthsRow {
    const char* name;
    std::vector<double> sleeve;
    std::size_t gapsPlanted; // of the three true breaks, which are gaps on the side (bit mask)
    bool extraGap;           // a quiet passage at the floor inside the second song
};

class SleeveLengths : public ::testing::TestWithParam<LengthsRow> {};

TEST_P(SleeveLengths, FitTheBreaksDespiteAMissingOrExtraGap)
{
    const LengthsRow row = GetParam();
    const double songs[4] = {70, 55, 90, 60};
    PlantedSide side;
    side.floor(2);
    std::vector<uint64_t> joins;
    for (int index = 0; index < 4; ++index) {
        if (index == 1 && row.extraGap)
            side.music(20).floor(1.5).music(songs[index] - 21.5);
        else
            side.music(songs[index]);
        if (index < 3) {
            joins.push_back(side.here());
            if (row.gapsPlanted & (1u << index))
                side.floor(2);
            else
                side.music(0.6, -38.0f); // joined without a gap
        }
    }
    side.floor(5);
    const TrackProposal proposal = proposeTracks(side.profile(), {0, row.sleeve});
    expectContiguous(proposal, side.here());
    ASSERT_EQ(proposal.breaks.size(), 3u);
    for (std::size_t index = 0; index < 3; ++index) {
        EXPECT_GE(proposal.breaks[index].frame + 22050, joins[index]) << "break " << index;
        EXPECT_LE(proposal.breaks[index].frame, joins[index] + 2 * 44100 + 22050) << "break " << index;
        if (!(row.gapsPlanted & (1u << index))) {
            EXPECT_LT(proposal.breaks[index].confidence, kConvincingConfidence) << "break " << index;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SleeveLengths, ::testing::Values(
    LengthsRow{"AllGaps", {70, 57, 92, 61}, 0b111, false},
    LengthsRow{"SecondGapMissing", {71, 57, 90, 60}, 0b101, false},
    LengthsRow{"ExtraGapInASong", {72, 57, 92, 60}, 0b111, true},
    LengthsRow{"MissingAndExtra", {69, 58, 91, 62}, 0b110, true},
    LengthsRow{"LengthsAFewSecondsOff", {74, 52, 94, 57}, 0b111, true}),
    [](const ::testing::TestParamInfo<LengthsRow>& info) { return info.param.name; });

TEST(BreakFinder, EmptyAndSilentProfilesDoNotBreak)
{
    EXPECT_TRUE(proposeTracks(LevelProfile{}).tracks.empty());
    EXPECT_TRUE(proposeTracks(LevelProfile{}, {4, {}}).tracks.empty());

    const LevelProfile silent{std::vector<float>(3000, kSilenceDb), 3000u * kLevelWindowFrames};
    for (const TrackRequest& request : {TrackRequest{}, TrackRequest{5, {}}, TrackRequest{0, {10, 10, 10}}}) {
        const TrackProposal proposal = proposeTracks(silent, request);
        expectContiguous(proposal, silent.frames);
    }
    // A single window, one sleeve length.
    const LevelProfile tiny{{-20.0f}, 100};
    const TrackProposal proposal = proposeTracks(tiny, {0, {180}});
    ASSERT_EQ(proposal.tracks.size(), 1u);
    EXPECT_EQ(proposal.tracks[0].endFrame, 100u);
}

}
}
