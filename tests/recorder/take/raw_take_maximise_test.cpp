// The raw take maximise and its block passes, checked against the per-sample definition.

#include "capture_test_support.h"
#include "file_size_limit.h"
#include "maximise_test_support.h"

#include "take/maximise_journal.h"
#include "take/pcm_blocks.h"
#include "take/raw_take_maximise.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>

namespace wavelark {
namespace {

using testing::kFirstTakeId;
using testing::maximisedByDefinition;
using testing::musicLike;
using testing::readSamples;
using testing::TemporaryFolder;
using testing::writeSamples;

class RawTakeMaximiseBlocks : public ::testing::TestWithParam<std::size_t> {};

TEST_P(RawTakeMaximiseBlocks, GivesThePerSampleResultWhateverTheBlockSize)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    // Not a whole number of blocks, with a trailing half frame the passes leave alone.
    const auto [samples, expected] = testing::writeTakeWithHalfFrame(path, 100003, 12000.0, 1234);

    std::vector<int> scanReports;
    std::vector<int> rewriteReports;
    const MaximiseResult result = maximiseRawTake(
        path, {}, [&](int percent) { scanReports.push_back(percent); },
        [&](int percent) { rewriteReports.push_back(percent); }, GetParam());
    ASSERT_TRUE(result.rewritten);
    EXPECT_EQ(readSamples(path), expected);
    ASSERT_FALSE(scanReports.empty());
    EXPECT_EQ(scanReports.back(), 100);
    EXPECT_EQ(rewriteReports.back(), 100);
    EXPECT_TRUE(std::is_sorted(scanReports.begin(), scanReports.end()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RawTakeMaximiseBlocks, ::testing::Values(4096, 65536, 1048576));

TEST(RawTakeMaximise, PeakOf16383ScalesByJustOverTwo)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    writeSamples(path, {16383, -16384, 100, -32768, 8191, 1});
    maximiseRawTake(path, {}, {}, {});
    const double gain = 32767.0 / 16383.0;
    EXPECT_EQ(readSamples(path), (std::vector<int16_t>{32766, -32766, static_cast<int16_t>(100 * gain), -32766,
                                                       static_cast<int16_t>(8191 * gain), 2}));
}

TEST(RawTakeMaximise, TakeWithoutAPositiveSampleIsLeftUnchanged)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    const std::vector<int16_t> samples = {0, -5, -32768, 0};
    writeSamples(path, samples);
    const MaximiseResult result = maximiseRawTake(path, {}, {}, {});
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.peak, 0);
    EXPECT_FALSE(result.rewritten);
    EXPECT_EQ(readSamples(path), samples);
}

TEST(RawTakeMaximise, MissingTakeIsNotOpened)
{
    TemporaryFolder folder;
    const MaximiseResult result = maximiseRawTake(folder.file("recording.raw"), {}, {}, {});
    EXPECT_FALSE(result.opened);
    EXPECT_FALSE(result.error.empty());
}

TEST(PcmBlocks, ScanOfARegionStopsAtItsSize)
{
    TemporaryFolder folder;
    const std::string path = folder.file("take.wav");
    // A 4-byte "header", 2 frames of data, then a louder sample outside the region.
    writeSamples(path, {30000, 30000, 10, 20, -30, 40, 31000, 31000});
    PcmRegion region;
    ASSERT_TRUE(region.openForRewrite(path, 4, 8));
    EXPECT_EQ(scanPeak(region, {}), std::optional<int16_t>(40));
}

// A file that ends before its region (cut short while a pass runs) must not pass for a whole
// pass: the scan gives no peak, the rewrite fails, and the maximise leaves the take unchanged.
TEST(PcmBlocks, PassesOverAFileThatEndsEarlyFailWithTheReason)
{
    TemporaryFolder folder;
    const std::string path = folder.file("take.raw");
    std::vector<int16_t> samples(40000, 1000);
    samples[39990] = 20000;
    writeSamples(path, samples);
    PcmRegion region;
    ASSERT_TRUE(region.openForRewrite(path, 0, samples.size() * 2 + 65536));
    std::string error;
    EXPECT_EQ(scanPeak(region, {}, 4096, &error), std::nullopt);
    EXPECT_FALSE(error.empty());
    int blocks = 0;
    error.clear();
    EXPECT_FALSE(rewriteBlocks(region, [&](int16_t*, std::size_t) { ++blocks; }, {}, 4096, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(blocks, static_cast<int>(samples.size() * 2 / 4096));
}

TEST(RawTakeMaximise, ATakeCutShortDuringTheScanIsNotRewritten)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    std::vector<int16_t> samples(8192, 1000);
    samples.back() = 2000;
    writeSamples(path, samples);
    const MaximiseResult result = maximiseRawTake(
        path, {}, [&](int) { std::filesystem::resize_file(path, 4096); }, {}, 4096);
    EXPECT_TRUE(result.failed);
    EXPECT_FALSE(result.rewritten);
    EXPECT_FALSE(result.error.empty());
    const std::vector<int16_t> left = readSamples(path);
    EXPECT_EQ(left, std::vector<int16_t>(samples.begin(), samples.begin() + 2048));
}

struct ProgressCase {
    std::size_t bytes;
    MaximiseWay way;
};

class RawTakeMaximiseProgress : public ::testing::TestWithParam<ProgressCase> {};

// The rewrite reports after every block, as the pass did before it was journaled, however many
// blocks a journal window holds: a take of N blocks gives each block's percentage once.
TEST_P(RawTakeMaximiseProgress, RewriteReportsEveryBlock)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    constexpr std::size_t kBlock = 4096;
    const std::size_t bytes = GetParam().bytes;
    std::vector<int16_t> samples(bytes / 2, 100);
    samples[samples.size() / 3] = 3000;
    writeSamples(path, samples);
    std::vector<int> expected;
    for (uint64_t end = kBlock;; end += kBlock) {
        const uint64_t done = std::min<uint64_t>(end, bytes);
        const int percent = static_cast<int>(done * 100 / bytes);
        if (expected.empty() || expected.back() != percent)
            expected.push_back(percent);
        if (done == bytes)
            break;
    }
    std::vector<int> reports;
    const MaximiseResult result = maximiseRawTake(
        path, kFirstTakeId, {}, [&](int percent) { reports.push_back(percent); }, kBlock, GetParam().way);
    EXPECT_TRUE(result.rewritten);
    EXPECT_EQ(reports, expected);
    // A trailing half frame stays as it is.
    const std::size_t whole = samples.size() / 2 * 2;
    std::vector<int16_t> maximised = maximisedByDefinition({samples.begin(), samples.begin() + whole});
    maximised.insert(maximised.end(), samples.begin() + whole, samples.end());
    EXPECT_EQ(readSamples(path), maximised);
}

// Ten blocks in one window; seven and a half; three windows (64 blocks each) and a bit.
INSTANTIATE_TEST_SUITE_P(Takes, RawTakeMaximiseProgress,
                         ::testing::Values(ProgressCase{10 * 4096, MaximiseWay::Journaled},
                                           ProgressCase{7 * 4096 + 2050, MaximiseWay::Journaled},
                                           ProgressCase{130 * 4096 + 400, MaximiseWay::Journaled},
                                           ProgressCase{10 * 4096, MaximiseWay::BesideWhenRoom},
                                           ProgressCase{130 * 4096 + 400, MaximiseWay::BesideWhenRoom}));

struct FullDiskMoment {
    const char* name;
    MaximiseWay way;
    bool fromTheStart;  // the disk is full before the first write; else after the first block
    bool touched;
};

class RawTakeMaximiseFullDisk : public ::testing::TestWithParam<FullDiskMoment> {};

// A disk that fills at Stop: when not even the first journal can be written, nothing of the take
// was touched and the result says so (the session then tells the take was kept as recorded);
// when it fills after the journaled rewrite began, the take is partly maximised and the result
// says that. A copy beside that cannot be finished leaves the take as recorded, whatever the moment.
TEST_P(RawTakeMaximiseFullDisk, ResultTellsWhetherTheTakeWasTouched)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    const std::vector<int16_t> samples = musicLike(100000, 9000.0);
    writeSamples(path, samples);
    MaximiseResult result;
    {
        std::optional<testing::FileSizeLimit> fullDisk;
        if (GetParam().fromTheStart)
            fullDisk.emplace(4096);
        const BlockProgress fill = [&](int) {
            if (!fullDisk)
                fullDisk.emplace(4096);
        };
        result = maximiseRawTake(path, kFirstTakeId, {}, fill, 4096, GetParam().way);
    }
    EXPECT_TRUE(result.failed);
    EXPECT_FALSE(result.rewritten);
    EXPECT_EQ(result.error, std::strerror(EFBIG));
    EXPECT_EQ(result.touched, GetParam().touched);
    EXPECT_EQ(readSamples(path) == samples, !GetParam().touched);
    EXPECT_FALSE(std::filesystem::exists(maximiseJournalPath(path) + ".part"));
    EXPECT_FALSE(std::filesystem::exists(maximisedSidePath(path)));
}

INSTANTIATE_TEST_SUITE_P(
    Moments, RawTakeMaximiseFullDisk,
    ::testing::Values(FullDiskMoment{"BeforeTheFirstJournal", MaximiseWay::Journaled, true, false},
                      FullDiskMoment{"AfterTheFirstJournaledBlock", MaximiseWay::Journaled, false, true},
                      FullDiskMoment{"BeforeTheCopyBeside", MaximiseWay::BesideWhenRoom, true, false},
                      FullDiskMoment{"AfterTheFirstBlockBeside", MaximiseWay::BesideWhenRoom, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Maximising a maximised take changes nothing: a take found wholly maximised after a stop (the
// copy beside renamed, the mark not yet removed) is maximised again to the same bytes.
TEST(RawTakeMaximise, MaximisedTakeIsLeftAsItIs)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    std::vector<int16_t> samples = musicLike(50000, 20000.0);
    samples[1001] = -32768;
    writeSamples(path, samples);
    ASSERT_TRUE(maximiseRawTake(path).rewritten);
    const std::vector<int16_t> once = readSamples(path);
    EXPECT_EQ(once, maximisedByDefinition(samples));
    EXPECT_TRUE(maximiseRawTake(path).rewritten);
    EXPECT_EQ(readSamples(path), once);
}
}
}
