#include "sorvak.h"

#include <gtest/gtest.h>

#include <time.h>

namespace {

int pollCalls = 0;
uint32_t lastRemaining = 0;

int countPoll(uint32_t remaining)
{
    ++pollCalls;
    lastRemaining = remaining;
    return 0;
}

int endOnThirdPoll(uint32_t remaining)
{
    lastRemaining = remaining;
    return ++pollCalls == 3 ? 42 : 0;
}

uint32_t monotonicMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000);
}

}

TEST(WaitTime, ZeroReturnsTheTickAtOnceWithoutPolling)
{
    pollCalls = 0;
    uint32_t before = monotonicMilliseconds();
    uint32_t result = WaitTime(0, countPoll);
    EXPECT_EQ(pollCalls, 0);
    EXPECT_LE(result - before, 1u);
}

TEST(WaitTime, RunsOutAfterTheTimeAndPollsWithTheRemainingTime)
{
    pollCalls = 0;
    uint32_t before = monotonicMilliseconds();
    uint32_t result = WaitTime(30, countPoll);
    EXPECT_GE(result - before, 30u);
    EXPECT_GT(pollCalls, 0);
    EXPECT_GE(lastRemaining, 1u);
    EXPECT_LE(lastRemaining, 30u);
}

TEST(WaitTime, APollThatAnswersEndsTheWaitWithItsAnswer)
{
    pollCalls = 0;
    EXPECT_EQ(WaitTime(10'000, endOnThirdPoll), 42u);
    EXPECT_EQ(pollCalls, 3);
    EXPECT_GT(lastRemaining, 9'000u);
}

TEST(WaitTime, WithoutAPollItStillWaits)
{
    uint32_t before = monotonicMilliseconds();
    EXPECT_GE(WaitTime(20, nullptr) - before, 20u);
}

TEST(WaitTime, DoesNotKeepACoreBusy)
{
    timespec cpuBefore;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuBefore);
    WaitTime(100, countPoll);
    timespec cpuAfter;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuAfter);
    double cpuSeconds = (cpuAfter.tv_sec - cpuBefore.tv_sec) + (cpuAfter.tv_nsec - cpuBefore.tv_nsec) / 1e9;
    // A spinning wait would use the whole 0.1 s.
    EXPECT_LT(cpuSeconds, 0.05);
}
