// The engine's integer helpers against their arithmetic definitions.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <random>

#include "sorvak.h"

namespace {

// floor(value / 2^32), with the rounding toward minus infinity written out.
int64_t floorDivideByTwoToThe32(int64_t value)
{
    constexpr int64_t kDivisor = int64_t{1} << 32;
    int64_t quotient = value / kDivisor;
    if (value % kDivisor != 0 && value < 0)
        --quotient;
    return quotient;
}

TEST(PolyphaseFixedPoint, MulhiIsTheFloorOfTheProductOverTwoToThe32)
{
    const int32_t edges[] = {0, 1, -1, 2, -2, 0x55555556, INT32_MAX, INT32_MIN, 12345678, -87654321, 0x40000000};
    for (int32_t a : edges)
        for (int32_t b : edges)
            EXPECT_EQ(mulhi(a, b), floorDivideByTwoToThe32(int64_t{a} * b)) << a << " * " << b;
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        int32_t a = static_cast<int32_t>(random());
        int32_t b = static_cast<int32_t>(random());
        ASSERT_EQ(mulhi(a, b), floorDivideByTwoToThe32(int64_t{a} * b)) << a << " * " << b;
    }
}

TEST(PolyphaseFixedPoint, UdivhiIsTheFloorOfTheFractionInQ32)
{
    EXPECT_EQ(udivhi(1, 2), 0x80000000u);
    EXPECT_EQ(udivhi(1, 3), 0x55555555u);
    EXPECT_EQ(udivhi(0, 5), 0u);
    EXPECT_EQ(udivhi(0xFFFFFFFEu, 0xFFFFFFFFu), 0xFFFFFFFEu);
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        uint32_t b = static_cast<uint32_t>(random()) | 1;
        uint32_t a = static_cast<uint32_t>(random()) % b;
        // a * 2^32 / b <= q exactly when q * b <= a * 2^32 < (q + 1) * b.
        unsigned __int128 scaled = static_cast<unsigned __int128>(a) << 32;
        unsigned __int128 quotient = udivhi(a, b);
        ASSERT_LE(quotient * b, scaled) << a << " / " << b;
        ASSERT_GT((quotient + 1) * b, scaled) << a << " / " << b;
    }
}

TEST(PolyphaseFixedPoint, UdivhiSaturatesWhenTheQuotientWouldNotFit)
{
    EXPECT_EQ(udivhi(5, 5), UINT32_MAX);
    EXPECT_EQ(udivhi(7, 3), UINT32_MAX);
    EXPECT_EQ(udivhi(1, 0), UINT32_MAX);
}

TEST(PolyphaseFixedPoint, GcdMatchesTheGreatestCommonDivisor)
{
    EXPECT_EQ(gcd(44100, 48000), 300u);
    EXPECT_EQ(gcd(48000, 44100), 300u);
    EXPECT_EQ(gcd(44056, 44100), 4u);
    EXPECT_EQ(gcd(7, 7), 7u);
    // A large ratio is one step of remainders, not four billion subtractions.
    EXPECT_EQ(gcd(1, 4000000000u), 1u);
    EXPECT_EQ(gcd(4000000000u, 2), 2u);
    std::mt19937 random(3);
    for (int i = 0; i < 5000; ++i) {
        uint32_t a = static_cast<uint32_t>(random() % 200000) + 1;
        uint32_t b = static_cast<uint32_t>(random() % 200000) + 1;
        ASSERT_EQ(gcd(a, b), std::gcd(a, b)) << a << ", " << b;
    }
}

TEST(PolyphaseFixedPoint, GcdWithAZeroArgumentEnds)
{
    EXPECT_EQ(gcd(0, 48000), 48000u);
    EXPECT_EQ(gcd(44100, 0), 44100u);
    EXPECT_EQ(gcd(0, 0), 0u);
}

TEST(PolyphaseFixedPoint, MinAndMaxCompareUnsigned)
{
    EXPECT_EQ(MIN(3, 5), 3u);
    EXPECT_EQ(MIN(5, 3), 3u);
    EXPECT_EQ(MAX(3, 5), 5u);
    EXPECT_EQ(MAX(5, 3), 5u);
    EXPECT_EQ(MIN(0xFFFFFFFFu, 1), 1u);
    EXPECT_EQ(MAX(0xFFFFFFFFu, 1), 0xFFFFFFFFu);
    EXPECT_EQ(MIN(9, 9), 9u);
}

}
