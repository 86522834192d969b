#include "sorvak.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int64_t kSecond = 10000000;

}

TEST(TextHelpers, StrcatmanyJoinsTheTextsThatAreNotNull)
{
    EXPECT_STREQ(strcatmany(nullptr, "a", nullptr, "b", nullptr), "ab");
    EXPECT_STREQ(strcatmany("C:\\audio\\", "take", ".wav", nullptr, nullptr), "C:\\audio\\take.wav");
    EXPECT_STREQ(strcatmany(nullptr, nullptr, nullptr, nullptr, nullptr), "");
}

TEST(TextHelpers, EleventhCallOverwritesTheFirstResultOnly)
{
    char* results[11];
    for (int i = 0; i < 11; ++i)
        results[i] = dw2sz(100 + i);
    EXPECT_EQ(results[10], results[0]);
    EXPECT_STREQ(results[0], "110");
    for (int i = 1; i < 10; ++i) {
        EXPECT_STREQ(results[i], std::to_string(100 + i).c_str());
        EXPECT_NE(results[i], results[0]);
    }
}

TEST(TextHelpers, EachHelperRotatesItsOwnBuffers)
{
    char* number = dw2sz(42);
    for (int i = 0; i < 12; ++i) {
        lzdw2sz(i, 3);
        fp2sz(i, 1);
        strcatmany("x", nullptr, nullptr, nullptr, nullptr);
    }
    EXPECT_STREQ(number, "42");
}

TEST(TextHelpers, PartsOfTextsAndPaths)
{
    EXPECT_STREQ(rights("take.wav", 3), "wav");
    EXPECT_STREQ(rights("take.wav", 30), "take.wav");
    EXPECT_STREQ(cuts("take.wav", 4), "take");
    EXPECT_STREQ(cuts("take.wav", 9), "");
    EXPECT_STREQ(cuts("take.wav", 8), "");
    EXPECT_STREQ(mids("recording", 2, 3, 0), "cor");
    EXPECT_STREQ(mids("recording", 3, 2, 1), "in");
    EXPECT_STREQ(mids("recording", 7, 10, 0), "ng");
    EXPECT_STREQ(strrslash("C:\\audio\\take.wav"), "take.wav");
    EXPECT_STREQ(strslash("C:\\audio\\take.wav"), "C:\\audio\\");
    EXPECT_STREQ(strrslash("/home/me/Music/take.wav"), "take.wav");
    EXPECT_STREQ(strslash("/home/me/Music/take.wav"), "/home/me/Music/");
    EXPECT_STREQ(strrslash("take.wav"), "take.wav");
    EXPECT_STREQ(strslash("take.wav"), "");
    EXPECT_STREQ(strrslash("/home/me/"), "");
}

TEST(TextHelpers, NumbersFormatAsPrintfWould)
{
    EXPECT_STREQ(dw2sz(-17), "-17");
    EXPECT_STREQ(lzdw2sz(7, 2), "07");
    EXPECT_STREQ(lzdw2sz(-5, 3), "-005");
    EXPECT_STREQ(lzdw2sz(12345, 2), "12345");
    EXPECT_STREQ(fp2sz(2.345, 1), "2.3");
    EXPECT_STREQ(fp2sz(1.0, 2), "1.00");
    EXPECT_STREQ(fp2sz(2.5, 0), "2");
    EXPECT_STREQ(fp2sz(3.7, 0), "4");
}

TEST(TextHelpers, PercentIsOneHundredOverWholeOverPart)
{
    EXPECT_DOUBLE_EQ(percent(25.0, 200.0), 12.5);
    EXPECT_EQ(percent(0.0, 200.0), 0.0);
    EXPECT_TRUE(std::isnan(percent(0.0, 0.0)));
}

struct DurationCase {
    int64_t time;
    const char* text;
};

class Nanosec2time : public testing::TestWithParam<DurationCase> {};

TEST_P(Nanosec2time, FormatsDurationsWithoutLeadingZeros)
{
    EXPECT_STREQ(nanosec2time(GetParam().time), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Durations, Nanosec2time,
                         testing::Values(DurationCase {0, "0:00"}, DurationCase {5 * kSecond, "0:05"},
                                         DurationCase {205 * kSecond, "3:25"},
                                         DurationCase {754 * kSecond, "12:34"},
                                         DurationCase {3723 * kSecond, "1:02:03"},
                                         DurationCase {36000000000LL, "1:00:00"},
                                         DurationCase {600000000LL, "1:00"},
                                         DurationCase {25 * 3600 * kSecond, "1:00:00"},
                                         DurationCase {10 * 3600 * kSecond + 5 * kSecond, "10:00:05"},
                                         DurationCase {59 * kSecond + kSecond - 1, "0:59"}));

TEST(TextHelpers, Nanosec2timeUsesItsFirstBufferFirstAndRotatesThroughTen)
{
    // Each result points into one of ten 9-byte buffers; the eleventh call reuses the first.
    char* results[11];
    for (int i = 0; i < 11; ++i)
        results[i] = nanosec2time((i + 1) * kSecond);
    EXPECT_EQ(results[10], results[0]);
    EXPECT_STREQ(results[0], "0:11");
    EXPECT_STREQ(results[9], "0:10");
}

TEST(TextHelpers, OverLongInputsAreCutToTheBuffer)
{
    std::string longText(5000, 'a');
    EXPECT_EQ(std::string(strcatmany(longText.c_str(), "b", nullptr, nullptr, nullptr)).size(), 1279u);
    EXPECT_EQ(std::string(rights(longText.c_str(), 3000)).size(), 1023u);
    EXPECT_EQ(std::string(cuts(longText.c_str(), 1)).size(), 1023u);
    EXPECT_EQ(std::string(strslash((longText + "/x").c_str())).size(), 0u);
    EXPECT_EQ(std::string(lzdw2sz(1, 4000)).size(), 255u);

    // A cut never splits a UTF-8 character: 1279 bytes of "é" (2 bytes each) keep 639 of them.
    std::string accents;
    for (int i = 0; i < 1000; ++i)
        accents += "\xc3\xa9";
    std::string joined = strcatmany(accents.c_str(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(joined.size(), 1278u);
    EXPECT_EQ(joined, accents.substr(0, 1278));
}

TEST(TextHelpers, WideTextIsUtf16)
{
    const char16_t* wide = sz2wide("Caf\xc3\xa9 \xf0\x9f\x8e\xb5");
    EXPECT_EQ(std::u16string(wide), u"Café 🎵");
    EXPECT_STREQ(wide2sz(u"Café 🎵"), "Caf\xc3\xa9 \xf0\x9f\x8e\xb5");
}

TEST(TextHelpers, FailedConversionsLeaveAnEmptyResult)
{
    EXPECT_EQ(std::u16string(sz2wide("bad \xff byte")), u"");
    const char16_t loneSurrogate[] = {u'a', 0xD800, u'b', 0};
    EXPECT_STREQ(wide2sz(loneSurrogate), "");
}

TEST(TextHelpers, OverLongWideTextsAreCutOnWholeCharacters)
{
    std::string narrow(3000, 'x');
    EXPECT_EQ(std::u16string(sz2wide(narrow.c_str())).size(), 1023u);
    std::u16string wide;
    for (int i = 0; i < 600; ++i)
        wide += u"é";
    std::string cut = wide2sz(wide.c_str());
    EXPECT_EQ(cut.size(), 1022u);
}

TEST(TextHelpers, TwoThreadsCallingAtOnceNeverShareABuffer)
{
    // The window thread and the capture thread both build texts. A result must stay what was
    // asked for until the same thread has called the helper ten more times, however busy the
    // other thread is.
    constexpr int kCalls = 20000;
    auto hammer = [](int id, int& mismatches) {
        for (int i = 0; i < kCalls; ++i) {
            std::string name = "thread" + std::to_string(id) + "-" + std::to_string(i);
            const char* joined = strcatmany(name.c_str(), ".raw", nullptr, nullptr, nullptr);
            for (int j = 0; j < 9; ++j)
                strcatmany("other", nullptr, nullptr, nullptr, nullptr);
            if (joined != name + ".raw")
                ++mismatches;
            int64_t seconds = (id * 1000 + i) % 3600;
            std::string time = nanosec2time(seconds * kSecond);
            std::string expected = std::to_string(seconds / 60) + ":" + (seconds % 60 < 10 ? "0" : "") +
                                   std::to_string(seconds % 60);
            if (time != expected)
                ++mismatches;
        }
    };
    int mismatchesA = 0;
    int mismatchesB = 0;
    std::thread a(hammer, 1, std::ref(mismatchesA));
    std::thread b(hammer, 2, std::ref(mismatchesB));
    a.join();
    b.join();
    EXPECT_EQ(mismatchesA, 0);
    EXPECT_EQ(mismatchesB, 0);
}
