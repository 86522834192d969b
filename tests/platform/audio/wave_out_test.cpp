#include "platform/audio/audio_test_support.h"
#include "support/temporary_folder.h"
#include "wave_device.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace wavelark::audio;
using wavelark::testing::AudioSetting;

namespace {

struct Block {
    std::vector<uint8_t> bytes;
    WaveBuffer header;

    Block(size_t size, int tag)
        : bytes(size)
    {
        header = {bytes.data(), static_cast<uint32_t>(size), 0, reinterpret_cast<void*>(static_cast<intptr_t>(tag))};
    }

    void paint(uint8_t seed)
    {
        for (size_t index = 0; index < bytes.size(); ++index)
            bytes[index] = static_cast<uint8_t>(seed + index * 3);
    }
};

int tagOf(const WaveBuffer& buffer)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(buffer.user));
}

void waitUntil(const std::function<bool()>& condition)
{
    while (!condition())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}

TEST(WaveOut, PlaysExactlyTheWrittenBuffersInOrderAndHandsThemBackInOrder)
{
    wavelark::testing::TemporaryFolder folder;
    AudioSetting setting("test:pace=fast;output=" + folder.file("out.wav"));
    std::mutex mutex;
    std::vector<int> returned;
    auto waveOut = openWaveOut(kDefaultDevice, 44100, [&](WaveBuffer& buffer) {
        std::lock_guard lock(mutex);
        returned.push_back(tagOf(buffer));
    });
    ASSERT_NE(waveOut, nullptr);
    std::vector<Block> blocks;
    for (int tag = 0; tag < 3; ++tag)
        blocks.emplace_back(1000 + 4 * tag, tag);
    std::string expected;
    for (int round = 0; round < 2; ++round) {
        for (Block& block : blocks) {
            block.paint(static_cast<uint8_t>(round * 50 + tagOf(block.header)));
            expected.append(block.bytes.begin(), block.bytes.end());
            ASSERT_TRUE(waveOut->write(&block.header));
        }
        waitUntil([&] {
            std::lock_guard lock(mutex);
            return returned.size() == 3u * (round + 1);
        });
    }
    waveOut->close();
    EXPECT_EQ(returned, (std::vector<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(wavelark::testing::wavData(folder.file("out.wav")), expected);
    EXPECT_EQ(waveOut->xrunCounts().underruns, 0u);
}

TEST(WaveOut, ResetHandsBackEveryBufferAtOnceWithoutPlayingTheRest)
{
    wavelark::testing::TemporaryFolder folder;
    AudioSetting setting("test:output=" + folder.file("out.wav"));
    std::atomic<int> returned{0};
    auto waveOut = openWaveOut(kDefaultDevice, 44100, [&](WaveBuffer&) { ++returned; });
    ASSERT_NE(waveOut, nullptr);
    std::vector<Block> blocks;
    for (int tag = 0; tag < 8; ++tag)
        blocks.emplace_back(32768, tag);
    for (Block& block : blocks)
        ASSERT_TRUE(waveOut->write(&block.header));
    // Eight buffers are 1.5 s of sound; the reset comes long before they could have played.
    waveOut->reset();
    EXPECT_EQ(returned.load(), 8);
    waveOut->close();
    std::optional<std::string> played = wavelark::testing::wavData(folder.file("out.wav"));
    ASSERT_TRUE(played);
    EXPECT_LT(played->size(), 8u * 32768);
}

TEST(WaveOut, AWriterThatFallsBehindIsCountedAsUnderrunAndPlayingGoesOn)
{
    // Two buffers of 2048 bytes are 23 ms of sound; one refill takes 60 ms.
    AudioSetting setting("test");
    std::atomic<int> refills{0};
    std::atomic<bool> stopRefilling{false};
    std::unique_ptr<WaveOut> waveOut;
    waveOut = openWaveOut(kDefaultDevice, 44100, [&](WaveBuffer& buffer) {
        if (stopRefilling)
            return;
        if (++refills == 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        waveOut->write(&buffer);
    });
    ASSERT_NE(waveOut, nullptr);
    Block first(2048, 0);
    Block second(2048, 1);
    first.paint(1);
    second.paint(2);
    ASSERT_TRUE(waveOut->write(&first.header));
    ASSERT_TRUE(waveOut->write(&second.header));
    waitUntil([&] { return refills.load() >= 12; });
    XrunCounts counts = waveOut->xrunCounts();
    EXPECT_GE(counts.underruns, 1u);
    // At least the 60 ms stall less the 23 ms that were queued, in frames.
    EXPECT_GE(counts.underrunFrames, 1000u);

    // Once drained, running dry is the end of the stream, not another underrun.
    stopRefilling = true;
    waveOut->drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(waveOut->xrunCounts().underruns, counts.underruns);
    waveOut->close();
}

TEST(WaveOut, CloseHandsBackBuffersStillQueued)
{
    AudioSetting setting("test");
    std::atomic<int> returned{0};
    auto waveOut = openWaveOut(kDefaultDevice, 44100, [&](WaveBuffer&) { ++returned; });
    ASSERT_NE(waveOut, nullptr);
    Block block(32768, 0);
    ASSERT_TRUE(waveOut->write(&block.header));
    waveOut->close();
    EXPECT_EQ(returned.load(), 1);
    EXPECT_FALSE(waveOut->write(&block.header));
}
