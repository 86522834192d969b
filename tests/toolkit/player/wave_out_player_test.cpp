#include "platform/audio/audio_test_support.h"
#include "sorvak.h"
#include "support/temporary_folder.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using wavelark::testing::AudioSetting;
using namespace std::chrono_literals;

// Qt is not built with the thread sanitizer: the locks inside its cross-thread calls are its own
// futexes, which the sanitizer cannot see, so it reports the memory they hand over as raced.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libQt6Core.so\n";
}

namespace {

// What the fill functions see; each test starts it afresh.
struct FillProbe {
    std::atomic<int> calls{0};
    std::atomic<int> bufferSize{0};
    std::atomic<int64_t> firstCallNanoseconds{0};
    std::atomic<void*> handle{nullptr};
};
FillProbe probe;

void resetProbe(int bufferSize)
{
    probe.calls = 0;
    probe.bufferSize = bufferSize;
    probe.firstCallNanoseconds = 0;
    probe.handle = nullptr;
}

int64_t nowNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Fills call n with the byte n (mod 251, never 0), so the output shows which call wrote what.
void countingFill(void* buffer)
{
    int call = ++probe.calls;
    if (call == 1)
        probe.firstCallNanoseconds = nowNanoseconds();
    std::memset(buffer, call % 251 + 1, static_cast<size_t>(probe.bufferSize.load()));
}

void blockingCallToApplicationFill(void* buffer)
{
    countingFill(buffer);
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::BlockingQueuedConnection);
}

void closingFill(void* buffer)
{
    countingFill(buffer);
    if (probe.calls == 1)
        CreateWaveOut(0, 0, 0, 0, nullptr, probe.handle.load());
}

std::string expectedOutput(int bufferCount, int bufferSize, int calls)
{
    std::string bytes(static_cast<size_t>(bufferCount) * bufferSize, '\0');
    for (int call = 1; call <= calls; ++call)
        bytes.append(static_cast<size_t>(bufferSize), static_cast<char>(call % 251 + 1));
    return bytes;
}

// Compares played output with what was expected without printing megabytes on a mismatch.
::testing::AssertionResult sameOutput(const std::optional<std::string>& played, const std::string& expected)
{
    if (!played)
        return ::testing::AssertionFailure() << "the output file has no data chunk";
    auto mismatch = std::mismatch(played->begin(), played->end(), expected.begin(), expected.end());
    if (mismatch.first == played->end() && mismatch.second == expected.end())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "played " << played->size() << " bytes, expected " << expected.size()
                                         << ", first difference at byte " << (mismatch.first - played->begin());
}

void waitForCalls(int calls)
{
    while (probe.calls.load() < calls)
        std::this_thread::sleep_for(1ms);
}

}

TEST(CreateWaveOut, FirstPassPlaysSilenceThenExactlyWhatTheFillFunctionWrote)
{
    wavelark::testing::TemporaryFolder folder;
    AudioSetting setting("test:pace=fast;output=" + folder.file("out.wav"));
    resetProbe(1024);
    void* player = CreateWaveOut(44100, 1024, 4, -1, countingFill, nullptr);
    ASSERT_NE(player, nullptr);
    waitForCalls(40);
    EXPECT_EQ(CreateWaveOut(0, 0, 0, 0, nullptr, player), nullptr);
    int calls = probe.calls;
    EXPECT_TRUE(sameOutput(wavelark::testing::wavData(folder.file("out.wav")), expectedOutput(4, 1024, calls)));
}

TEST(CreateWaveOut, FillIsFirstCalledWhenTheFirstBufferHasPlayed)
{
    AudioSetting setting("test");
    resetProbe(8192);
    int64_t opened = nowNanoseconds();
    void* player = CreateWaveOut(44100, 8192, 2, 0, countingFill, nullptr);
    ASSERT_NE(player, nullptr);
    waitForCalls(1);
    CreateWaveOut(0, 0, 0, 0, nullptr, player);
    // 8192 bytes are 46.4 ms of sound; the device cannot have played them sooner.
    EXPECT_GE(probe.firstCallNanoseconds - opened, 45'000'000);
}

TEST(CreateWaveOut, ClosingRightAfterOpeningReturnsOnceEveryBufferHasPlayed)
{
    wavelark::testing::TemporaryFolder folder;
    AudioSetting setting("test:output=" + folder.file("out.wav"));
    resetProbe(2048);
    void* player = CreateWaveOut(44100, 2048, 8, -1, countingFill, nullptr);
    ASSERT_NE(player, nullptr);
    CreateWaveOut(0, 0, 0, 0, nullptr, player);
    // Every buffer written (the eight silent ones and any refilled before the close) played.
    EXPECT_TRUE(sameOutput(wavelark::testing::wavData(folder.file("out.wav")), expectedOutput(8, 2048, probe.calls)));
}

struct BufferCountCase {
    int count;
    bool opens;
};

class BufferCount : public ::testing::TestWithParam<BufferCountCase> {};

TEST_P(BufferCount, OpensFromTwoToSixteenAndOtherwiseSaysSo)
{
    AudioSetting setting("test:pace=fast");
    resetProbe(1024);
    ::testing::internal::CaptureStderr();
    void* player = CreateWaveOut(44100, 1024, GetParam().count, -1, countingFill, nullptr);
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(player != nullptr, GetParam().opens);
    EXPECT_EQ(message.find("ERROR: Number of Buffers Must be Between 2 and 16") != std::string::npos, !GetParam().opens)
        << message;
    if (player)
        CreateWaveOut(0, 0, 0, 0, nullptr, player);
}

INSTANTIATE_TEST_SUITE_P(Values, BufferCount,
                         ::testing::Values(BufferCountCase{2, true}, BufferCountCase{16, true}, BufferCountCase{1, false},
                                           BufferCountCase{17, false}, BufferCountCase{0, false},
                                           BufferCountCase{-3, false}),
                         [](const auto& info) {
                             return (info.param.count < 0 ? "Minus" + std::to_string(-info.param.count)
                                                          : std::to_string(info.param.count));
                         });

TEST(CreateWaveOut, ADeviceThatCannotOpenGivesZeroAndLeavesNothingBehind)
{
    resetProbe(1024);
    {
        AudioSetting setting("test:outputs=0");
        EXPECT_EQ(CreateWaveOut(44100, 1024, 4, -1, countingFill, nullptr), nullptr);
        EXPECT_EQ(CreateWaveOut(44100, 1024, 4, 2, countingFill, nullptr), nullptr);
    }
    AudioSetting setting("test:pace=fast");
    void* player = CreateWaveOut(44100, 1024, 4, -1, countingFill, nullptr);
    ASSERT_NE(player, nullptr);
    waitForCalls(1);
    CreateWaveOut(0, 0, 0, 0, nullptr, player);
    // A handle that is no longer open is ignored at once.
    EXPECT_EQ(CreateWaveOut(0, 0, 0, 0, nullptr, player), nullptr);
}

TEST(CreateWaveOut, RefusesUnusableArguments)
{
    AudioSetting setting("test:pace=fast");
    EXPECT_EQ(CreateWaveOut(44100, 1023, 4, -1, countingFill, nullptr), nullptr);
    EXPECT_EQ(CreateWaveOut(44100, 0, 4, -1, countingFill, nullptr), nullptr);
    EXPECT_EQ(CreateWaveOut(0, 1024, 4, -1, countingFill, nullptr), nullptr);
    EXPECT_EQ(CreateWaveOut(44100, 1024, 4, -1, nullptr, nullptr), nullptr);
}

TEST(CreateWaveOut, ASecondOpenIsRefusedAndTheFirstPlaysOn)
{
    AudioSetting setting("test");
    resetProbe(2048);
    void* first = CreateWaveOut(44100, 2048, 2, -1, countingFill, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CreateWaveOut(44100, 4096, 4, -1, countingFill, nullptr), nullptr);
    int callsBefore = probe.calls;
    waitForCalls(callsBefore + 3);
    CreateWaveOut(0, 0, 0, 0, nullptr, first);
    // Once the first is closed, a new player opens.
    void* second = CreateWaveOut(44100, 2048, 2, -1, countingFill, nullptr);
    EXPECT_NE(second, nullptr);
    CreateWaveOut(0, 0, 0, 0, nullptr, second);
}

TEST(CreateWaveOut, CloseReturnsWhileTheFillFunctionWaitsForTheClosingThread)
{
    int argc = 1;
    char name[] = "wave_out_player_test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    AudioSetting setting("test");
    resetProbe(2048);
    void* player = CreateWaveOut(44100, 2048, 4, -1, blockingCallToApplicationFill, nullptr);
    ASSERT_NE(player, nullptr);
    while (probe.calls.load() < 3)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // The next fill blocks until this thread serves its call, which only the close can do.
    CreateWaveOut(0, 0, 0, 0, nullptr, player);
    EXPECT_GE(probe.calls.load(), 3);
}

TEST(CreateWaveOut, CloseFromInsideTheFillFunctionIsRefused)
{
    AudioSetting setting("test");
    resetProbe(2048);
    void* player = CreateWaveOut(44100, 2048, 2, -1, closingFill, nullptr);
    ASSERT_NE(player, nullptr);
    probe.handle = player;
    waitForCalls(4);
    CreateWaveOut(0, 0, 0, 0, nullptr, player);
}
