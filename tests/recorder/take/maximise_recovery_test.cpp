// What a stopped raw take maximise leaves and how it is finished: kills at any moment, journals
// that cannot be trusted, a data folder that comes back on another disk.

#include "capture_test_support.h"
#include "maximise_test_support.h"

#include "take/maximise_journal.h"
#include "take/raw_take_maximise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace wavelark {
namespace {

using testing::kFirstTakeId;
using testing::kKillBlock;
using testing::kSecondTakeId;
using testing::killedPartWay;
using testing::maximisedByDefinition;
using testing::musicLike;
using testing::readSamples;
using testing::TemporaryFolder;
using testing::writeSamples;

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
    const auto [samples, expected] = testing::writeTakeWithHalfFrame(path, 560001, 9000.0, 77);
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

// A journal of the format before take ids (version 1: device, inode and size name the take), as a
// maximise stopped before an update left it: the resume still finishes that take.
TEST(RawTakeMaximiseJournal, JournalFromBeforeIdsIsResumedInPlace)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    const std::vector<int16_t> samples = musicLike(100000, 7000.0);
    const std::vector<int16_t> expected = maximisedByDefinition(samples);
    const int16_t peak = *std::max_element(samples.begin(), samples.end());
    // Stopped in its second window of 4096 samples: the first maximised, the rest as recorded.
    constexpr std::size_t kWindow = 4096;
    std::vector<int16_t> stepped = samples;
    std::copy(expected.begin(), expected.begin() + kWindow, stepped.begin());
    writeSamples(path, stepped);
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);

    std::string journal = "WLMJ";
    const auto put = [&](uint64_t value, int bytes) {
        for (int index = 0; index < bytes; ++index)
            journal.push_back(static_cast<char>(value >> (8 * index)));
    };
    put(1, 4);
    put(static_cast<uint64_t>(status.st_dev), 8);
    put(static_cast<uint64_t>(status.st_ino), 8);
    put(static_cast<uint64_t>(status.st_size), 8);
    put(static_cast<uint16_t>(peak), 4);
    put(kWindow * 2, 8);
    put(kWindow * 2, 8);
    journal.append(reinterpret_cast<const char*>(samples.data() + kWindow), kWindow * 2);
    uint64_t checksum = 1469598103934665603ull;
    for (char byte : journal)
        checksum = (checksum ^ static_cast<uint8_t>(byte)) * 1099511628211ull;
    put(checksum, 8);
    testing::writeFile(maximiseJournalPath(path), journal);

    const std::optional<MaximiseResult> result = resumeRawTakeMaximise(path, kFirstTakeId, {}, 4096);
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->rewritten) << result->error;
    EXPECT_EQ(readSamples(path), expected);
    EXPECT_FALSE(std::filesystem::exists(maximiseJournalPath(path)));
}

class RawTakeMaximiseBesideKilled : public ::testing::TestWithParam<int> {};

// A maximise beside killed at any moment before its rename leaves the take exactly as recorded
// (no level step) and its copy, which says a maximise is due; the resume clears the copy and the
// maximise afresh gives the uninterrupted bytes.
TEST_P(RawTakeMaximiseBesideKilled, LeavesTheTakeAsRecordedAndTheRedoGivesTheUninterruptedResult)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    const auto [samples, expected] = testing::writeTakeWithHalfFrame(path, 300001, 9000.0, 77);

    ASSERT_TRUE(killedPartWay("maximise-beside", path, GetParam(), kKillBlock, kFirstTakeId));
    EXPECT_EQ(readSamples(path), samples);
    EXPECT_FALSE(std::filesystem::exists(maximiseJournalPath(path)));
    EXPECT_TRUE(maximiseInterrupted(path));

    EXPECT_FALSE(resumeRawTakeMaximise(path, kFirstTakeId, {}, kKillBlock).has_value());
    EXPECT_FALSE(std::filesystem::exists(maximisedSidePath(path)));
    const MaximiseResult result = maximiseRawTake(path, kFirstTakeId, {}, {}, kKillBlock);
    EXPECT_TRUE(result.rewritten) << result.error;
    EXPECT_EQ(readSamples(path), expected);
    EXPECT_FALSE(maximiseInterrupted(path));
}

INSTANTIATE_TEST_SUITE_P(Moments, RawTakeMaximiseBesideKilled, ::testing::Values(1, 50, 100));

}
}
