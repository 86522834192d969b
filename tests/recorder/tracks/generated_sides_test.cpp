// The break finder on short generated sides (the benchmark's generator, two to three minutes a
// side): each way of asking puts every break inside its gap or within half a second of it.

#include "tracks/break_finder.h"

#include "track_corpus.h"

#include <gtest/gtest.h>

namespace wavelark {
namespace {

struct SideRow {
    const char* name;
    corpus::SideRecipe recipe;
};

corpus::SideRecipe shortSide(uint64_t seed, int humHertz, bool crackle, bool rumble, double hissDb, bool quietPassages)
{
    corpus::SideRecipe recipe;
    recipe.seed = seed;
    recipe.songs = 4;
    recipe.shortestSongSeconds = 25;
    recipe.longestSongSeconds = 45;
    recipe.humHertz = humHertz;
    recipe.crackle = crackle;
    recipe.rumble = rumble;
    recipe.hissDb = hissDb;
    recipe.quietPassages = quietPassages;
    recipe.leadInSeconds = 1.5;
    recipe.runOutSeconds = 5;
    return recipe;
}

class GeneratedSide : public ::testing::TestWithParam<SideRow> {};

TEST_P(GeneratedSide, EveryWayOfAskingFindsTheGaps)
{
    const corpus::SidePlan plan = corpus::planSide(GetParam().recipe);
    const LevelProfile profile = measureLevels(corpus::renderSide(plan));
    const uint64_t tolerance = kTrackSampleRate / 2;
    const std::vector<TrackRequest> requests = {{}, {plan.recipe.songs, {}}, {0, plan.sleeveSeconds}};
    const char* names[] = {"nothing", "songs", "lengths"};
    for (std::size_t asked = 0; asked < requests.size(); ++asked) {
        const TrackProposal proposal = proposeTracks(profile, requests[asked]);
        ASSERT_EQ(proposal.breaks.size(), plan.gaps.size()) << names[asked];
        for (std::size_t index = 0; index < plan.gaps.size(); ++index) {
            EXPECT_GE(proposal.breaks[index].frame + tolerance, plan.gaps[index].startFrame) << names[asked] << " " << index;
            EXPECT_LE(proposal.breaks[index].frame, plan.gaps[index].endFrame + tolerance) << names[asked] << " " << index;
        }
        // The lead-in and the run-out are trimmed.
        EXPECT_GE(proposal.tracks.front().startFrame + tolerance, plan.musicStart) << names[asked];
        EXPECT_LE(proposal.tracks.back().endFrame, plan.musicEnd + tolerance) << names[asked];
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, GeneratedSide, ::testing::Values(
    SideRow{"HissOnly", shortSide(11, 0, false, false, -64, false)},
    SideRow{"Hum50CrackleRumble", shortSide(12, 50, true, true, -58, true)},
    SideRow{"Hum60QuietPassages", shortSide(13, 60, true, false, -62, true)},
    SideRow{"NoisyTape", shortSide(14, 0, false, true, -54, true)}),
    [](const ::testing::TestParamInfo<SideRow>& info) { return info.param.name; });

TEST(GeneratedSide, AGaplessJoinIsTheLeastSureBreak)
{
    corpus::SideRecipe recipe = shortSide(15, 50, true, true, -60, false);
    recipe.gaplessBreak = 1;
    const corpus::SidePlan plan = corpus::planSide(recipe);
    const TrackProposal proposal = proposeTracks(measureLevels(corpus::renderSide(plan)), {recipe.songs, {}});
    ASSERT_EQ(proposal.breaks.size(), 3u);
    EXPECT_LT(proposal.breaks[1].confidence, proposal.breaks[0].confidence);
    EXPECT_LT(proposal.breaks[1].confidence, proposal.breaks[2].confidence);
    EXPECT_LT(proposal.breaks[1].confidence, kConvincingConfidence);
}

}
}
