#include "spsc_ring.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

using wavelark::audio::SpscRing;

TEST(SpscRing, WritesWhatFitsAndReadsItBackAcrossTheWrap)
{
    SpscRing ring(16);
    ASSERT_EQ(ring.capacity(), 16u);
    std::vector<uint8_t> source(40);
    for (size_t index = 0; index < source.size(); ++index)
        source[index] = static_cast<uint8_t>(index);
    std::vector<uint8_t> out(40);

    EXPECT_EQ(ring.write(source.data(), 10), 10u);
    EXPECT_EQ(ring.read(out.data(), 6), 6u);
    // Twelve bytes are free; the write crosses the end of the storage.
    EXPECT_EQ(ring.write(source.data() + 10, 20), 12u);
    EXPECT_EQ(ring.writable(), 0u);
    EXPECT_EQ(ring.read(out.data() + 6, 40), 16u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 22), std::vector<uint8_t>(source.begin(), source.begin() + 22));
    EXPECT_EQ(ring.readPosition(), 22u);
    EXPECT_EQ(ring.writePosition(), 22u);
    EXPECT_EQ(ring.discard(5), 0u);
}

TEST(SpscRing, CarriesAStreamBetweenTwoThreadsWithoutLossOrRepeat)
{
    SpscRing ring(64);
    constexpr size_t kTotal = 1 << 20;
    std::thread producer([&ring] {
        std::minstd_rand random(1);
        std::vector<uint8_t> chunk(100);
        size_t sent = 0;
        while (sent < kTotal) {
            size_t size = std::min<size_t>(1 + random() % 100, kTotal - sent);
            for (size_t index = 0; index < size; ++index)
                chunk[index] = static_cast<uint8_t>((sent + index) * 7);
            size_t done = 0;
            while (done < size) {
                done += ring.write(chunk.data() + done, size - done);
                if (done < size)
                    std::this_thread::yield();
            }
            sent += size;
        }
    });
    std::minstd_rand random(2);
    std::vector<uint8_t> chunk(100);
    size_t received = 0;
    size_t mismatches = 0;
    while (received < kTotal) {
        size_t got = ring.read(chunk.data(), 1 + random() % 100);
        for (size_t index = 0; index < got; ++index)
            mismatches += chunk[index] != static_cast<uint8_t>((received + index) * 7);
        received += got;
        if (got == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(ring.readable(), 0u);
}
