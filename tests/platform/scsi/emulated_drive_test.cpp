// The emulated drive: its settings, and its answers to the commands a ripper sends.

#include "emulated_drive.h"
#include "emulated_drive_settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <vector>

using namespace wavelark::scsi;

namespace {

constexpr uint32_t frames(uint32_t minute, uint32_t second, uint32_t frame)
{
    return (minute * 60 + second) * 75 + frame;
}

std::unique_ptr<ScsiDevice> openDrive(const char* variable)
{
    setenv("WAVELARK_CD", variable, 1);
    std::string error;
    std::unique_ptr<ScsiBackend> backend = chooseScsiBackend(error);
    EXPECT_NE(backend, nullptr) << error;
    if (!backend)
        return nullptr;
    std::unique_ptr<ScsiDevice> device = backend->open("/dev/sr0", error);
    EXPECT_NE(device, nullptr) << error;
    return device;
}

// The sense key and additional sense code of a command's answer (0, 0 when good).
std::pair<int, int> senseOf(ScsiDevice& device, std::vector<uint8_t> cdb, std::span<uint8_t> data = {})
{
    uint8_t sense[18] = {};
    ScsiResult result = device.execute({cdb, data, 1000, sense});
    EXPECT_TRUE(result.delivered);
    if (result.status == kStatusGood)
        return {0, 0};
    EXPECT_EQ(result.status, kStatusCheckCondition);
    EXPECT_GE(result.senseLength, 14u);
    return {sense[2] & 0x0F, sense[12]};
}

}

TEST(EmulatedDriveSettings, EveryOptionIsRead)
{
    std::string error;
    auto settings = parseEmulatedDiscSettings(
        "emulated:tracks=00:02:00,03:00:00;leadout=05:00:00;audio=wav,/tmp/a;b.wav;data=2;error=6675;change=7;"
        "ready=never;delay=1;drives=3",
        error);
    EXPECT_FALSE(settings) << "a ';' ends the WAV path";
    settings = parseEmulatedDiscSettings("emulated:tracks=00:02:00,03:00:00;leadout=05:00:00;audio=wav,/tmp/a.wav;"
                                         "data=2;error=6675;change=7;ready=never;delay=1;drives=3",
                                         error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->trackStarts, (std::vector<uint32_t>{150, 13500}));
    EXPECT_EQ(settings->leadOut, 22500u);
    EXPECT_TRUE(settings->wavAudio);
    EXPECT_EQ(settings->wavPath, "/tmp/a.wav");
    EXPECT_EQ(settings->dataTrack, 2);
    EXPECT_EQ(settings->errorBlock, 6675u);
    EXPECT_EQ(settings->changeAtCommand, 7u);
    EXPECT_FALSE(settings->readyAfterMilliseconds);
    EXPECT_EQ(settings->commandMilliseconds, 1u);
    EXPECT_EQ(settings->drives, 3);

    settings = parseEmulatedDiscSettings("emulated", error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->trackStarts, (std::vector<uint32_t>{150}));
    EXPECT_EQ(settings->leadOut, frames(5, 2, 0));
    EXPECT_TRUE(settings->discPresent);
}

class MalformedEmulatedSetting : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedEmulatedSetting, IsRefusedWithAReason)
{
    std::string error;
    EXPECT_FALSE(parseEmulatedDiscSettings(GetParam(), error));
    EXPECT_FALSE(error.empty());
    setenv("WAVELARK_CD", GetParam(), 1);
    std::string chooseError;
    EXPECT_EQ(chooseScsiBackend(chooseError), nullptr);
    EXPECT_FALSE(chooseError.empty());
}

INSTANTIATE_TEST_SUITE_P(Values, MalformedEmulatedSetting,
                         ::testing::Values("emulatedx", "emulated:tracks=00:01:74", "emulated:tracks=00:02:00,00:02:00",
                                           "emulated:tracks=00:60:00", "emulated:tracks=00:02:00;leadout=00:02:00",
                                           "emulated:leadout=100:00:00", "emulated:disc=yes", "emulated:data=0",
                                           "emulated:error=-1", "emulated:change=0", "emulated:ready=soon",
                                           "emulated:drives=17", "emulated:audio=mp3", "emulated:colour=red",
                                           "cdrom"));

TEST(EmulatedDrive, AnswersInquiryTocAndReadsAsAnMmcDrive)
{
    auto device = openDrive("emulated:tracks=00:02:00,03:00:00;leadout=05:00:00;data=2");
    ASSERT_TRUE(device);
    std::vector<uint8_t> inquiry(96);
    // The first command after a disc change reports it; the next ones are answered.
    uint8_t sense[18];
    const uint8_t ready[6] = {};
    device->execute({ready, {}, 1000, sense});
    EXPECT_EQ(senseOf(*device, {0x12, 0, 0, 0, 96, 0}, inquiry), std::make_pair(0, 0));
    EXPECT_EQ(inquiry[0], 0x05);

    std::vector<uint8_t> toc(804);
    EXPECT_EQ(senseOf(*device, {0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0}, toc), std::make_pair(0, 0));
    std::vector<uint8_t> expected = {0, 26, 1, 2,
                                     0, 0x10, 1, 0, 0, 0, 2, 0,
                                     0, 0x14, 2, 0, 0, 3, 0, 0,
                                     0, 0x14, 0xAA, 0, 0, 5, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(toc.begin(), toc.begin() + 28), expected);

    std::vector<uint8_t> sectors(2 * 2352);
    EXPECT_EQ(senseOf(*device, {0xBE, 0, 0, 0, 0x01, 0x00, 0, 0, 2, 0xF8, 0, 0}, sectors), std::make_pair(0, 0));
    EXPECT_EQ(sectors[0], 0x00);
    EXPECT_EQ(sectors[1], 0x01) << "block 256 on the left";
    EXPECT_EQ(sectors[2352], 0x01);
    EXPECT_EQ(sectors[2352 + 4 * 5 + 2], 5) << "frame 5 on the right";
    // 22350 blocks on the disc: the last one can be read, the one after cannot.
    EXPECT_EQ(senseOf(*device, {0xBE, 0, 0, 0, 0x57, 0x4D, 0, 0, 1, 0xF8, 0, 0}, sectors), std::make_pair(0, 0));
    EXPECT_EQ(senseOf(*device, {0xBE, 0, 0, 0, 0x57, 0x4E, 0, 0, 1, 0xF8, 0, 0}, sectors), std::make_pair(5, 0x21));
    EXPECT_EQ(senseOf(*device, {0xA8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, sectors), std::make_pair(5, 0x20));
}

TEST(EmulatedDrive, EmptyDriveReadErrorsNotReadyAndDiscChangesAreReportedInTheSense)
{
    // The drive has held a disc before, whichever test ran first in this process.
    auto first = openDrive("emulated:tracks=00:02:00");
    ASSERT_TRUE(first);
    senseOf(*first, {0, 0, 0, 0, 0, 0});
    auto empty = openDrive("emulated:disc=none");
    ASSERT_TRUE(empty);
    EXPECT_EQ(senseOf(*empty, {0, 0, 0, 0, 0, 0}), std::make_pair(6, 0x28)) << "a new disc setting is a change";
    EXPECT_EQ(senseOf(*empty, {0, 0, 0, 0, 0, 0}), std::make_pair(2, 0x3A));

    auto faulty = openDrive("emulated:error=10;ready=never");
    ASSERT_TRUE(faulty);
    EXPECT_EQ(senseOf(*faulty, {0, 0, 0, 0, 0, 0}), std::make_pair(6, 0x28));
    EXPECT_EQ(senseOf(*faulty, {0, 0, 0, 0, 0, 0}), std::make_pair(2, 0x04));

    auto reading = openDrive("emulated:error=10;change=3");
    ASSERT_TRUE(reading);
    std::vector<uint8_t> sectors(27 * 2352);
    EXPECT_EQ(senseOf(*reading, {0, 0, 0, 0, 0, 0}), std::make_pair(6, 0x28));
    EXPECT_EQ(senseOf(*reading, {0xBE, 0, 0, 0, 0, 0, 0, 0, 27, 0xF8, 0, 0}, sectors), std::make_pair(3, 0x11));
    EXPECT_EQ(senseOf(*reading, {0xBE, 0, 0, 0, 0, 0, 0, 0, 10, 0xF8, 0, 0}, sectors), std::make_pair(6, 0x28))
        << "the third command after the disc came";
    EXPECT_EQ(senseOf(*reading, {0xBE, 0, 0, 0, 0, 0, 0, 0, 10, 0xF8, 0, 0}, sectors), std::make_pair(0, 0));
    EXPECT_GE(emulatedCommandCount("/dev/sr0"), 9u);
}

TEST(EmulatedDrive, ACommandSlowerThanItsTimeOutEndsAtTheTimeOutUnanswered)
{
    // Each command would take 20 s; the drive must give up at the command's 50 ms as SG_IO
    // does, and a command given time enough is answered.
    auto slow = openDrive("emulated:delay=20000");
    ASSERT_TRUE(slow);
    const uint8_t ready[6] = {};
    uint8_t sense[18] = {};
    auto started = std::chrono::steady_clock::now();
    ScsiResult result = slow->execute({ready, {}, 50, sense});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_FALSE(result.delivered);
    EXPECT_NE(result.error.find("time-out"), std::string::npos) << result.error;

    auto quick = openDrive("emulated:delay=20");
    ASSERT_TRUE(quick);
    EXPECT_TRUE(quick->execute({ready, {}, 1000, sense}).delivered);
}
