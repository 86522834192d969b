#include "core/window_thread_poster.h"

#include "capture_test_support.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace wavelark::testing {

TEST(WindowThreadPoster, CallsFromWorkersRunOnTheWindowThreadInTheirOrder)
{
    ensureRecorderRuntime();
    WindowThreadPoster poster;
    const std::thread::id windowThread = std::this_thread::get_id();
    std::vector<int> ran;
    bool everyCallOnTheWindowThread = true;

    constexpr int kCalls = 2000;
    std::thread worker([&] {
        for (int i = 0; i < kCalls; ++i)
            poster.post([&, i] {
                everyCallOnTheWindowThread = everyCallOnTheWindowThread && std::this_thread::get_id() == windowThread;
                ran.push_back(i);
            });
    });
    ASSERT_TRUE(pumpUntil([&] { return ran.size() == kCalls; }));
    worker.join();

    EXPECT_TRUE(everyCallOnTheWindowThread);
    for (int i = 0; i < kCalls; ++i)
        ASSERT_EQ(ran[i], i);
}

TEST(WindowThreadPoster, CallsStillQueuedAtDestructionAreDropped)
{
    ensureRecorderRuntime();
    bool ran = false;
    {
        WindowThreadPoster poster;
        std::thread([&] { poster.post([&] { ran = true; }); }).join();
    }
    pumpUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_FALSE(ran);
}

}
