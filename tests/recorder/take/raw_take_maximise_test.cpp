// The raw take maximise and its block passes, checked against the per-sample definition.

#include "capture_test_support.h"
#include "file_size_limit.h"

#include "take/maximise_journal.h"
#include "take/pcm_blocks.h"
#include "take/raw_take_maximise.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <csignal>
#include <random>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace wavelark {
namespace {

using testing::readSamples;
using testing::TemporaryFolder;
using testing::writeSamples;

// The maximise written out plainly: gain 32767 / peak, clamp to ±32766, truncate.
std::vector<int16_t> maximisedByDefinition(const std::vector<int16_t>& samples)
{
    int16_t peak = 0;
    for (int16_t sample : samples)
        peak = std::max(peak, sample);
    if (peak == 0)
        return samples;
    const double gain = 32767.0 / peak;
    std::vector<int16_t> result;
    for (int16_t sample : samples)
        result.push_back(static_cast<int16_t>(std::trunc(std::clamp(sample * gain, -32766.0, 32766.0))));
    return result;
}

// Music-like: a few partials with a slow envelope and some noise.
std::vector<int16_t> musicLike(std::size_t frames, double level)
{
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<int16_t> samples(frames * 2);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const double time = frame / 44100.0;
        const double envelope = 0.5 + 0.5 * std::sin(2 * 3.14159 * 0.3 * time);
        const double value = level * envelope
                             * (0.5 * std::sin(2 * 3.14159 * 220 * time) + 0.3 * std::sin(2 * 3.14159 * 331 * time))
                             + noise(random);
        samples[frame * 2] = static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0));
        samples[frame * 2 + 1] = static_cast<int16_t>(std::clamp(-0.7 * value, -32768.0, 32767.0));
    }
    return samples;
}

class RawTakeMaximiseBlocks : public ::testing::TestWithParam<std::size_t> {};

TEST_P(RawTakeMaximiseBlocks, GivesThePerSampleResultWhateverTheBlockSize)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    // Not a whole number of blocks, with a trailing half frame the passes leave alone.
    std::vector<int16_t> samples = musicLike(100003, 12000.0);
    samples.push_back(1234);
    writeSamples(path, samples);
    std::vector<int16_t> expected = maximisedByDefinition({samples.begin(), samples.end() - 1});
    expected.push_back(1234);

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

class MaximiseSamplesGain : public ::testing::TestWithParam<double> {};

TEST_P(MaximiseSamplesGain, EveryValueEqualsThePerSampleComputation)
{
    // Every 16-bit value, at every position of the eight-sample groups and in the tail.
    std::vector<int16_t> samples;
    for (int value = -32768; value <= 32767; ++value)
        samples.push_back(static_cast<int16_t>(value));
    std::shuffle(samples.begin(), samples.end(), std::mt19937(11));
    samples.push_back(32767);
    samples.push_back(-32768);
    samples.push_back(3);
    const double gain = GetParam();
    std::vector<int16_t> expected;
    for (int16_t sample : samples)
        expected.push_back(static_cast<int16_t>(std::trunc(std::clamp(sample * gain, -32766.0, 32766.0))));
    maximiseSamples(samples.data(), samples.size(), gain);
    EXPECT_EQ(samples, expected);
}

INSTANTIATE_TEST_SUITE_P(Gains, MaximiseSamplesGain,
                         ::testing::Values(1.0, 32767.0 / 16383.0, 32767.0 / 12345.0, 32767.0, 32767.0 / 32766.0,
                                           0.5),
                         [](const auto& info) { return "Gain" + std::to_string(info.index); });

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

// Runs the pass child, which kills itself when its pass reports killAt percent; true when it
// died of the kill.
bool killedPartWay(const char* mode, const std::string& take, int killAt, std::size_t blockSize,
                   const std::string& takeId = {})
{
    const std::string percent = std::to_string(killAt);
    const std::string block = std::to_string(blockSize);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(WAVELARK_TAKE_PASS_CHILD, "take_pass_child", mode, take.c_str(), percent.c_str(), block.c_str(),
                takeId.empty() ? static_cast<char*>(nullptr) : takeId.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

constexpr std::size_t kKillBlock = 4096;  // journal windows of 256 KiB: nine in the take below
// Take ids as recording marks name them.
const std::string kFirstTakeId = "0123456789abcdef0123456789abcdef";
const std::string kSecondTakeId = "fedcba9876543210fedcba9876543210";

struct KilledMaximise {
    const char* name;
    int killAt;       // the rewrite's percentage at which the first run is killed
    int resumeKillAt; // the same for the first resume, 0 for a resume left to finish
};

class RawTakeMaximiseKilled : public ::testing::TestWithParam<KilledMaximise> {};

// However the rewrite is stopped (in its first window, half-way, after its last window while
// the journal is still there, and also during its own resume), the resume ends with exactly the
// bytes an uninterrupted maximise gives, and no journal.
TEST_P(RawTakeMaximiseKilled, ResumeGivesTheUninterruptedResult)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    std::vector<int16_t> samples = musicLike(560001, 9000.0);
    samples.push_back(77);  // a trailing half frame
    writeSamples(path, samples);
    std::vector<int16_t> expected = maximisedByDefinition({samples.begin(), samples.end() - 1});
    expected.push_back(77);
    const std::string journal = maximiseJournalPath(path);

    ASSERT_TRUE(killedPartWay("maximise", path, GetParam().killAt, kKillBlock));
    ASSERT_TRUE(std::filesystem::exists(journal));
    // Before its last window the kill leaves the level step a plain in-place rewrite keeps for good.
    const std::vector<int16_t> stepped = readSamples(path);
    if (GetParam().killAt < 100) {
        EXPECT_NE(stepped, expected);
        EXPECT_NE(stepped, samples);
    }
    if (GetParam().resumeKillAt > 0) {
        ASSERT_TRUE(killedPartWay("resume", path, GetParam().resumeKillAt, kKillBlock));
        ASSERT_TRUE(std::filesystem::exists(journal));
    }

    std::vector<int> reports;
    const std::optional<MaximiseResult> resumed =
        resumeRawTakeMaximise(path, {}, [&](int percent) { reports.push_back(percent); }, kKillBlock);
    ASSERT_TRUE(resumed.has_value());
    EXPECT_TRUE(resumed->rewritten) << resumed->error;
    EXPECT_EQ(resumed->peak, *std::max_element(samples.begin(), samples.end() - 1));
    EXPECT_EQ(readSamples(path), expected);
    EXPECT_FALSE(std::filesystem::exists(journal));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), 100);
    EXPECT_FALSE(resumeRawTakeMaximise(path, {}, {}, kKillBlock).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Moments, RawTakeMaximiseKilled,
    ::testing::Values(KilledMaximise{"InTheFirstWindow", 1, 0}, KilledMaximise{"HalfWay", 41, 0},
                      KilledMaximise{"AfterTheLastWindow", 100, 0}, KilledMaximise{"AlsoDuringTheResume", 30, 70}),
    [](const auto& info) { return std::string(info.param.name); });

// A journal that cannot be trusted never writes into a take: one damaged on disk is reported and
// removed, one left beside another take (a new recording after a failed recovery) is ignored.
TEST(RawTakeMaximiseJournal, DamagedOrForeignJournalsLeaveTheTakeAlone)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    const std::vector<int16_t> samples = musicLike(200000, 8000.0);
    writeSamples(path, samples);
    const std::string journal = maximiseJournalPath(path);
    ASSERT_TRUE(killedPartWay("maximise", path, 50, kKillBlock));
    const std::string journalBytes = testing::readFile(journal);
    const std::vector<int16_t> stepped = readSamples(path);

    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, journalBytes.size() / 2, journalBytes.size() - 1}) {
        testing::writeFile(journal, journalBytes.substr(0, cut));
        const std::optional<MaximiseResult> result = resumeRawTakeMaximise(path, {}, {}, kKillBlock);
        ASSERT_TRUE(result.has_value()) << cut;
        EXPECT_TRUE(result->failed) << cut;
        EXPECT_NE(result->error.find(journal), std::string::npos) << result->error;
        EXPECT_EQ(readSamples(path), stepped) << cut;
        EXPECT_FALSE(std::filesystem::exists(journal)) << cut;
    }
    std::string flipped = journalBytes;
    flipped[journalBytes.size() / 2] ^= 0x01;
    testing::writeFile(journal, flipped);
    EXPECT_TRUE(resumeRawTakeMaximise(path, {}, {}, kKillBlock)->failed);
    EXPECT_EQ(readSamples(path), stepped);

    // A new take in the same place: another size (a new file, the same name).
    testing::writeFile(journal, journalBytes);
    const std::vector<int16_t> newTake = musicLike(1000, 3000.0);
    std::filesystem::remove(path);
    writeSamples(path, newTake);
    EXPECT_FALSE(resumeRawTakeMaximise(path, {}, {}, kKillBlock).has_value());
    EXPECT_EQ(readSamples(path), newTake);
    EXPECT_FALSE(std::filesystem::exists(journal));
}

// A new take written into the same file (the same inode) with the same length as the one whose
// maximise was killed: only its id tells it apart, and the journal must not touch it.
TEST(RawTakeMaximiseJournal, JournalOfAnotherTakeIdIsThrownAwayAlsoInTheSameFile)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    const std::vector<int16_t> samples = musicLike(200000, 8000.0);
    writeSamples(path, samples);
    ASSERT_TRUE(killedPartWay("maximise", path, 50, kKillBlock, kFirstTakeId));
    const std::vector<int16_t> newTake = musicLike(200000, 3000.0);
    testing::writeFile(path, std::string(reinterpret_cast<const char*>(newTake.data()), newTake.size() * 2));
    EXPECT_FALSE(resumeRawTakeMaximise(path, kSecondTakeId, {}, kKillBlock).has_value());
    EXPECT_EQ(readSamples(path), newTake);
    EXPECT_FALSE(std::filesystem::exists(maximiseJournalPath(path)));
}

// A folder on another file system than the temporary one, for a copy of the data folder that
// comes back on another device number; nothing when there is none.
std::optional<std::filesystem::path> folderOnAnotherDevice(const std::filesystem::path& than)
{
    struct stat here {};
    if (::stat(than.c_str(), &here) != 0)
        return std::nullopt;
    for (const char* candidate : {"/dev/shm", "/run/user", "/var/tmp", "/tmp"}) {
        struct stat there {};
        if (::stat(candidate, &there) == 0 && there.st_dev != here.st_dev && ::access(candidate, W_OK) == 0) {
            std::string pattern = std::string(candidate) + "/wavelark-copy-XXXXXX";
            if (::mkdtemp(pattern.data()))
                return std::filesystem::path(pattern);
        }
    }
    return std::nullopt;
}

// The data folder of a maximise killed half-way comes back on another disk (a USB disk plugged in
// again, a restored copy): the take and its journal keep their id, so the resume there still
// finishes the take to the uninterrupted bytes. Without the id (a mark from before ids) the
// journal cannot be matched to the moved take and is thrown away, as it always was.
TEST(RawTakeMaximiseJournal, ResumeFinishesACopyOfTheDataFolderOnAnotherDevice)
{
    TemporaryFolder folder;
    const std::optional<std::filesystem::path> elsewhere = folderOnAnotherDevice(folder.path());
    if (!elsewhere)
        GTEST_SKIP() << "no writable folder on another file system than " << folder.path();
    const std::unique_ptr<const std::filesystem::path, void (*)(const std::filesystem::path*)> removeCopies(
        &*elsewhere, [](const std::filesystem::path* copies) { std::filesystem::remove_all(*copies); });
    const std::string path = folder.file("recording.raw");
    const std::vector<int16_t> samples = musicLike(300001, 9000.0);
    writeSamples(path, samples);
    const std::vector<int16_t> expected = maximisedByDefinition(samples);
    ASSERT_TRUE(killedPartWay("maximise", path, 45, kKillBlock, kFirstTakeId));
    const std::vector<int16_t> stepped = readSamples(path);
    ASSERT_NE(stepped, expected);

    struct Copy {
        const char* name;
        std::string takeId;
        bool resumed;
    };
    for (const Copy& copy : {Copy{"same-id", kFirstTakeId, true}, Copy{"no-id", "", false}}) {
        const std::filesystem::path copyFolder = *elsewhere / copy.name;
        std::filesystem::create_directory(copyFolder);
        const std::string copied = (copyFolder / "recording.raw").string();
        std::filesystem::copy_file(path, copied);
        std::filesystem::copy_file(maximiseJournalPath(path), maximiseJournalPath(copied));
        const std::optional<MaximiseResult> result = resumeRawTakeMaximise(copied, copy.takeId, {}, kKillBlock);
        EXPECT_EQ(result.has_value(), copy.resumed) << copy.name;
        EXPECT_EQ(readSamples(copied), copy.resumed ? expected : stepped) << copy.name;
        EXPECT_FALSE(std::filesystem::exists(maximiseJournalPath(copied))) << copy.name;
    }
}

// The rewrite reports after every block, as the pass did before it was journaled, however many
// blocks a journal window holds: a take of N blocks gives each block's percentage once.
class RawTakeMaximiseProgress : public ::testing::TestWithParam<std::size_t> {};

TEST_P(RawTakeMaximiseProgress, RewriteReportsEveryBlock)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    constexpr std::size_t kBlock = 4096;
    const std::size_t bytes = GetParam();
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
    const MaximiseResult result =
        maximiseRawTake(path, kFirstTakeId, {}, [&](int percent) { reports.push_back(percent); }, kBlock);
    EXPECT_TRUE(result.rewritten);
    EXPECT_EQ(reports, expected);
}

// Ten blocks in one window; seven and a half; three windows (64 blocks each) and a bit.
INSTANTIATE_TEST_SUITE_P(Takes, RawTakeMaximiseProgress,
                         ::testing::Values(10 * 4096, 7 * 4096 + 2050, 130 * 4096 + 400));

struct FullDiskMoment {
    const char* name;
    bool fromTheStart;  // the disk is full before the first journal; else after the first block
    bool touched;
};

class RawTakeMaximiseFullDisk : public ::testing::TestWithParam<FullDiskMoment> {};

// A disk that fills at Stop: when not even the first journal can be written, nothing of the take
// was touched and the result says so (the session then tells the take was kept as recorded);
// when it fills after the rewrite began, the take is partly maximised and the result says that.
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
        result = maximiseRawTake(path, kFirstTakeId, {}, [&](int) {
            if (!fullDisk)
                fullDisk.emplace(4096);
        }, 4096);
    }
    EXPECT_TRUE(result.failed);
    EXPECT_FALSE(result.rewritten);
    EXPECT_EQ(result.error, std::strerror(EFBIG));
    EXPECT_EQ(result.touched, GetParam().touched);
    EXPECT_EQ(readSamples(path) == samples, !GetParam().touched);
    EXPECT_FALSE(std::filesystem::exists(maximiseJournalPath(path) + ".part"));
}

INSTANTIATE_TEST_SUITE_P(Moments, RawTakeMaximiseFullDisk,
                         ::testing::Values(FullDiskMoment{"BeforeTheFirstJournal", true, false},
                                           FullDiskMoment{"AfterTheFirstBlock", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}
}
