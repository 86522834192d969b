// Links the toolkit's objects to read the player's underrun count, which no export reports.

#include "platform/audio/audio_test_support.h"
#include "player/wave_out_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<int> fillCalls{0};

// The fifth refill takes 60 ms, more than the 23 ms two buffers of 2048 bytes hold.
void slowOnceFill(void*)
{
    if (++fillCalls == 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
}

}

TEST(WaveOutPlayer, AFillSlowerThanTheRingIsCountedAsUnderrunAndPlayingGoesOn)
{
    wavelark::testing::AudioSetting setting("test");
    void* player = sorvak::player::openPlayer(44100, 2048, 2, -1, slowOnceFill);
    ASSERT_NE(player, nullptr);
    // Twelve refills take about 0.2 s; a player that stopped refilling ends the wait at the deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (fillCalls.load() < 12 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    wavelark::audio::XrunCounts counts = sorvak::player::playerXrunCounts();
    sorvak::player::closePlayer(player);
    ASSERT_GE(fillCalls.load(), 12) << "the player stopped refilling";
    EXPECT_GE(counts.underruns, 1u);
    EXPECT_GE(counts.underrunFrames, 1000u);
    EXPECT_EQ(counts.overruns, 0u);
}
