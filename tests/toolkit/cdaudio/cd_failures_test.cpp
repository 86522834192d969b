// CDtoWAV's failures: each ends at once with its own result and leaves no file behind.

#include "cdaudio/cd_drives.h"
#include "cdaudio/cd_ripper.h"
#include "emulated_disc.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <csignal>

using namespace wavelark::testing;

namespace {

struct FailureCase {
    const char* name;
    const char* variable;
    const char* trackPath;
    int result;
};

std::ostream& operator<<(std::ostream& out, const FailureCase& failure)
{
    return out << failure.name;
}

class RipFailure : public ::testing::TestWithParam<FailureCase> {};

}

TEST_P(RipFailure, EndsAtOnceWithItsResultAndWritesNoFile)
{
    EmulatedDisc disc(GetParam().variable);
    std::string destination = temporaryPath(std::string(GetParam().name) + ".wav");
    sorvak::cd::RipLimits limits;
    // A drive that never becomes ready is given half a second here, not the 30 s of CDtoWAV.
    limits.readyWait = std::chrono::milliseconds(500);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(sorvak::cd::ripTrack(GetParam().trackPath, destination.c_str(), nullptr, limits), GetParam().result);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(fileExists(destination));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RipFailure,
    ::testing::Values(
        FailureCase{"RootInOtherCase", "emulated", "/dev/SR0/Track01.cda", 1},
        FailureCase{"RootInUpperCase", "emulated", "/DEV/SR0/Track01.cda", 1},
        FailureCase{"RootWithoutItsSlash", "emulated", "/dev/sr0Track01.cda", 1},
        FailureCase{"RootOfAnotherDrive", "emulated:drives=2", "/dev/sr2/Track01.cda", 1},
        FailureCase{"NoDriveAtAll", "emulated:drives=0", "/dev/sr0/Track01.cda", 1},
        FailureCase{"BackendNamedWrongly", "cdrom", "/dev/sr0/Track01.cda", 1},
        FailureCase{"TrackAfterTheLast", "emulated:tracks=00:02:00,01:00:00", "/dev/sr0/Track03.cda", 1},
        FailureCase{"TrackZero", "emulated", "/dev/sr0/Track00.cda", 1},
        FailureCase{"NoTrackNumber", "emulated", "/dev/sr0/Track.cda", 1},
        FailureCase{"PathTooShort", "emulated", "/dev", 1},
        FailureCase{"DataTrack", "emulated:tracks=00:02:00,01:00:00;data=2", "/dev/sr0/Track02.cda", 1},
        FailureCase{"NoDisc", "emulated:disc=none", "/dev/sr0/Track01.cda", 2},
        FailureCase{"NeverReady", "emulated:ready=never", "/dev/sr0/Track01.cda", 2}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(CdRipping, ADriveSpinningUpIsWaitedFor)
{
    EmulatedDisc disc("emulated:tracks=00:02:00;leadout=00:03:00;ready=400");
    std::string destination = temporaryPath("spun-up.wav");
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, nullptr), 0);
    EXPECT_EQ(fileBytes(destination).size(), 44u + 75u * kSectorBytes);
}

TEST(CdRipping, AnUnwritableDestinationIsReportedAndTheDriveLeftAlone)
{
    EmulatedDisc disc("emulated");
    std::string destination = temporaryPath("missing-folder/track.wav");
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, nullptr), 3);
    EXPECT_FALSE(fileExists(destination));
    EXPECT_EQ(CDtoWAV(nullptr, destination.c_str(), 0, nullptr), 1);
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track01.cda", nullptr, 0, nullptr), 1);
}

TEST(CdRipping, ADriveSlowerThanTheReadyWaitIsGivenUpWithinTheWaitStartUnitIncluded)
{
    // Every command would take 2 s: START STOP UNIT must be given no more than the 1 s wait as
    // its time-out, and no TEST UNIT READY may follow once the wait is over. The whole wait
    // taking 4 s or more (START STOP UNIT's 2 s, then a TEST UNIT READY's) is the fault; the
    // bound below leaves a loaded machine 1.5 s of slack over the 1 s.
    EmulatedDisc disc("emulated:ready=never;delay=2000");
    std::string destination = temporaryPath("slow-drive.wav");
    sorvak::cd::RipLimits limits;
    limits.readyWait = std::chrono::milliseconds(1000);
    ASSERT_EQ(sorvak::cd::cdDrives().drives.size(), 1u) << "found (INQUIRY) before the clock starts";
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(sorvak::cd::ripTrack("/dev/sr0/Track01.cda", destination.c_str(), nullptr, limits), 2);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
    EXPECT_FALSE(fileExists(destination));
}

TEST(CdRipping, ADiskThatFillsUpDuringTheRipLeavesNoFile)
{
    // The file size limit stands in for a full disk: writes past 1 MB fail (EFBIG, the signal
    // ignored) while the header at the start can still be rewritten.
    EmulatedDisc disc("emulated");
    std::string destination = temporaryPath("full-disk.wav");
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 1 << 20;
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, nullptr);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(result, 3);
    EXPECT_FALSE(fileExists(destination)) << "a short file would pass for a whole short track";
}
