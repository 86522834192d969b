// The track encoder pool: the encoders run on several threads at once (the toolkit's tagged
// converters for MP3 and WMA, libFLAC with its read-back) write exactly the files they write one
// after the other, a cancelled pool leaves no side file, and a job that cannot read the take
// fails alone with its reason.

#include "capture_test_support.h"

#include "take/pcm_wav.h"
#include "take/conversion_stages.h"
#include "take/track_encoder_pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace wavelark {
namespace {

namespace fs = std::filesystem;

constexpr int kTracks = 4;
constexpr double kTrackSeconds = 2.0;

std::string bytesOf(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

class TrackEncoderPoolTest : public ::testing::TestWithParam<SaveFormat> {
protected:
    void SetUp() override
    {
        testing::ensureRecorderRuntime();
        // Four tracks, each a tone of its own pitch and level.
        std::vector<int16_t> take;
        for (int track = 0; track < kTracks; ++track)
            for (int frame = 0; frame < int(kTrackSeconds * 44100); ++frame) {
                const auto sample = static_cast<int16_t>((3000 + 2000 * track) * std::sin(2 * M_PI * (220.0 * (track + 1)) * frame / 44100));
                take.insert(take.end(), {sample, sample});
            }
        testing::writeSamples(takePath(), take);
    }
    std::string takePath() const { return (m_folder.path() / "recording.raw").string(); }
    std::vector<TrackEncodingJob> jobs(const std::string& prefix) const
    {
        std::vector<TrackEncodingJob> list;
        const uint32_t trackBytes = uint32_t(kTrackSeconds * 44100) * 4;
        for (int track = 0; track < kTracks; ++track) {
            TrackEncodingJob job;
            job.takePath = takePath();
            job.temporaryPath = (m_folder.path() / (prefix + std::to_string(track) + ".wav")).string();
            job.shownPath = (m_folder.path() / (prefix + std::to_string(track) + saveExtension(GetParam()))).string();
            job.sidePath = job.shownPath + ".part";
            job.range = SaveRange{trackBytes * track, trackBytes * (track + 1)};
            job.fades = FadeSettings{true, 20, true, 20, false};
            job.gain = 1.5;
            job.format = GetParam();
            job.title = "Title " + std::to_string(track);
            job.artist = "Artist";
            job.album = "Album";
            job.year = "2001";
            job.trackNumber = track + 1;
            job.trackCount = kTracks;
            list.push_back(job);
        }
        return list;
    }
    testing::TemporaryFolder m_folder;
};

TEST_P(TrackEncoderPoolTest, ConvertersOnSeveralThreadsWriteWhatTheyWriteOneAfterTheOther)
{
    // One at a time, on this thread.
    const std::vector<TrackEncodingJob> serial = jobs("serial");
    for (const TrackEncodingJob& job : serial) {
        ASSERT_TRUE(copyRangeToTemporaryWav(job.takePath, job.range, job.temporaryPath, {}).ok());
        ASSERT_TRUE(fadeAndScale(job.temporaryPath, job.range, job.fades, job.gain, {}, {}).result.ok());
        const SorvakTags tags = job.tags();
        const SaveResult result = encodeSideFile(job.temporaryPath, job.sidePath, job.shownPath, job.format,
                                                 job.quality, &tags, nullptr, SavedPart::Track);
        ASSERT_TRUE(result.ok()) << result.message;
    }
    // Four workers at once, more than there are cores.
    TrackEncoderPool pool(jobs("parallel"), 4);
    int finished = 0;
    for (int round = 0; round < 2000 && finished < kTracks; ++round)
        finished += int(pool.takeFinished(std::chrono::milliseconds(50)).size());
    ASSERT_EQ(finished, kTracks);
    for (int track = 0; track < kTracks; ++track) {
        ASSERT_TRUE(pool.result(track).ok()) << pool.result(track).message;
        EXPECT_EQ(pool.percent(track), 100);
        const std::string parallelBytes = bytesOf(pool.job(track).sidePath);
        EXPECT_GT(parallelBytes.size(), 1000u);
        EXPECT_TRUE(parallelBytes == bytesOf(serial[track].sidePath)) << "track " << track;
        EXPECT_TRUE(checkSideFile(pool.job(track).sidePath, pool.job(track).shownPath, GetParam(), SaveQuality::High,
                                  pool.job(track).range.bytes()).ok());
        // The worker removed its temporary WAV.
        EXPECT_FALSE(fs::exists(pool.job(track).temporaryPath));
    }
}

TEST_P(TrackEncoderPoolTest, ACancelledPoolLeavesNoSideFile)
{
    std::vector<TrackEncodingJob> list = jobs("cancelled");
    std::vector<bool> saved(kTracks, false);
    {
        TrackEncoderPool pool(list, 2);
        pool.cancel();
        pool.join();
        int finished = 0;
        for (int round = 0; round < 100 && finished < kTracks; ++round)
            finished += int(pool.takeFinished(std::chrono::milliseconds(10)).size());
        ASSERT_EQ(finished, kTracks);
        for (int track = 0; track < kTracks; ++track)
            saved[track] = pool.result(track).ok();
    }
    // A job that finished before the cancel was seen keeps its whole file; every other leaves none.
    for (int track = 0; track < kTracks; ++track) {
        EXPECT_EQ(fs::exists(list[track].sidePath), saved[track]) << list[track].sidePath;
        if (saved[track]) {
            EXPECT_TRUE(checkSideFile(list[track].sidePath, list[track].shownPath, GetParam(), SaveQuality::High,
                                      list[track].range.bytes()).ok());
        }
    }
}

bool g_cancelSent = false;
// Cancels once the encoding is past half way and not yet at its end.
int cancelPastHalfWay(int percent)
{
    if (percent < 50 || percent >= 100)
        return 0;
    g_cancelSent = true;
    return 1;
}

TEST_P(TrackEncoderPoolTest, AnEncodingCancelledPartWayLeavesNoFileAndSaysSo)
{
    // The toolkit's converters finish a cancelled file short and report success: the encoding
    // must not. The whole take (several of libFLAC's blocks) is one job here.
    TrackEncodingJob job = jobs("partway").front();
    job.range = SaveRange{0, uint32_t(kTracks * kTrackSeconds * 44100) * 4};
    ASSERT_TRUE(copyRangeToTemporaryWav(job.takePath, job.range, job.temporaryPath, {}).ok());
    const SorvakTags tags{"Title", "Artist", "Album", "2001", 1, 1};
    g_cancelSent = false;
    const SaveResult result = encodeSideFile(job.temporaryPath, job.sidePath, job.shownPath, job.format, job.quality,
                                             &tags, &cancelPastHalfWay, SavedPart::Track);
    ASSERT_TRUE(g_cancelSent);
    EXPECT_EQ(result.failure, SaveFailure::Conversion);
    EXPECT_NE(result.message.find("cancelled"), std::string::npos) << result.message;
    EXPECT_FALSE(fs::exists(job.sidePath));
}

TEST_P(TrackEncoderPoolTest, AJobThatCannotReadTheTakeFailsAlone)
{
    std::vector<TrackEncodingJob> list = jobs("failing");
    list[1].takePath = (m_folder.path() / "missing.raw").string();
    TrackEncoderPool pool(list, 2);
    int finished = 0;
    for (int round = 0; round < 2000 && finished < kTracks; ++round)
        finished += int(pool.takeFinished(std::chrono::milliseconds(50)).size());
    ASSERT_EQ(finished, kTracks);
    EXPECT_EQ(pool.result(1).failure, SaveFailure::TakeUnreadable) << pool.result(1).message;
    EXPECT_FALSE(fs::exists(list[1].sidePath));
    for (const int track : {0, 2, 3})
        EXPECT_TRUE(pool.result(track).ok()) << pool.result(track).message;
}

TEST_P(TrackEncoderPoolTest, TheLongestTracksAreHandedOutFirst)
{
    // A short first track goes last, so that no worker is left alone with a long one at the end.
    std::vector<TrackEncodingJob> list = jobs("order");
    list[0].range.end = list[0].range.start + 44100 * 4 / 2;
    TrackEncoderPool pool(list, 1);
    std::vector<std::size_t> order;
    for (int round = 0; round < 2000 && order.size() < std::size_t(kTracks); ++round)
        for (const std::size_t index : pool.takeFinished(std::chrono::milliseconds(50)))
            order.push_back(index);
    EXPECT_EQ(order, (std::vector<std::size_t>{1, 2, 3, 0}));
}

INSTANTIATE_TEST_SUITE_P(Formats, TrackEncoderPoolTest, ::testing::Values(SaveFormat::Mp3, SaveFormat::Wma, SaveFormat::Flac));

}
}
