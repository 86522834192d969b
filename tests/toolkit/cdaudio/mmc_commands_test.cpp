// The command blocks the ripper sends, and how it reads the drive's status and sense.

#include "cdaudio/mmc_commands.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sorvak::cd;
using wavelark::scsi::ScsiCommand;
using wavelark::scsi::ScsiResult;

namespace {

// Keeps what each command asked for and answers GOOD with the whole buffer filled.
class RecordingDevice final : public wavelark::scsi::ScsiDevice {
public:
    struct Sent {
        std::vector<uint8_t> cdb;
        size_t dataLength;
        uint32_t timeout;
        size_t senseLength;
    };
    std::vector<Sent> sent;

    ScsiResult execute(const ScsiCommand& command) override
    {
        sent.push_back({std::vector<uint8_t>(command.cdb.begin(), command.cdb.end()), command.dataIn.size(),
                        command.timeoutMilliseconds, command.sense.size()});
        ScsiResult result;
        result.delivered = true;
        result.transferred = static_cast<uint32_t>(command.dataIn.size());
        return result;
    }
};

using Bytes = std::vector<uint8_t>;

}

TEST(MmcCommands, EachCommandBlockIsTheDrivesByteForByte)
{
    RecordingDevice device;
    std::vector<uint8_t> buffer(kMaxSectorsPerRead * kSectorBytes);
    EXPECT_EQ(readCd(device, 0x00012345, 27, buffer).outcome, Outcome::Good);
    EXPECT_EQ(readCd(device, 13349, 1, buffer).outcome, Outcome::Good);
    std::array<uint8_t, kTocBytes> toc;
    readToc(device, toc);
    std::array<uint8_t, kInquiryBytes> inquiryData;
    inquiry(device, inquiryData);
    startUnit(device);
    testUnitReady(device);

    ASSERT_EQ(device.sent.size(), 6u);
    EXPECT_EQ(device.sent[0].cdb, (Bytes{0xBE, 0, 0x00, 0x01, 0x23, 0x45, 0, 0, 27, 0xF8, 0, 0}));
    EXPECT_EQ(device.sent[0].dataLength, 27u * 2352u);
    EXPECT_EQ(device.sent[0].timeout, 32767u);
    EXPECT_EQ(device.sent[1].cdb, (Bytes{0xBE, 0, 0x00, 0x00, 0x34, 0x25, 0, 0, 1, 0xF8, 0, 0}));
    EXPECT_EQ(device.sent[1].dataLength, 2352u);
    EXPECT_EQ(device.sent[2].cdb, (Bytes{0x43, 0x02, 0, 0, 0, 0, 0, 0x03, 0x24, 0}));
    EXPECT_EQ(device.sent[2].dataLength, 804u);
    EXPECT_EQ(device.sent[3].cdb, (Bytes{0x12, 0, 0, 0, 100, 0}));
    EXPECT_EQ(device.sent[3].dataLength, 100u);
    EXPECT_EQ(device.sent[4].cdb, (Bytes{0x1B, 0, 0, 0, 0x01, 0}));
    EXPECT_EQ(device.sent[4].dataLength, 0u);
    EXPECT_EQ(device.sent[5].cdb, (Bytes{0, 0, 0, 0, 0, 0}));
    startUnit(device, 1234);
    testUnitReady(device, 56);
    ASSERT_EQ(device.sent.size(), 8u);
    EXPECT_EQ(device.sent[6].timeout, 1234u) << "the time left of the wait";
    EXPECT_EQ(device.sent[7].timeout, 56u);
    for (const auto& sent : device.sent)
        EXPECT_GE(sent.senseLength, 18u) << "room for fixed-format sense";
}

TEST(MmcCommands, ReadsOutsideOneToTwentySevenSectorsOrBeyondTheBufferAreNotSent)
{
    RecordingDevice device;
    std::vector<uint8_t> buffer(2 * kSectorBytes);
    EXPECT_EQ(readCd(device, 0, 0, buffer).outcome, Outcome::Failed);
    EXPECT_EQ(readCd(device, 0, 3, buffer).outcome, Outcome::Failed);
    std::vector<uint8_t> large(30 * kSectorBytes);
    EXPECT_EQ(readCd(device, 0, 28, large).outcome, Outcome::Failed);
    EXPECT_TRUE(device.sent.empty());
}

struct SenseCase {
    bool delivered;
    uint8_t status;
    Bytes sense;
    Outcome outcome;
};

std::ostream& operator<<(std::ostream& out, const SenseCase& sense)
{
    out << "status " << int(sense.status) << " sense";
    for (uint8_t byte : sense.sense)
        out << ' ' << int(byte);
    return out;
}

class SenseMeaning : public ::testing::TestWithParam<SenseCase> {};

TEST_P(SenseMeaning, GivesTheOutcome)
{
    ScsiResult result;
    result.delivered = GetParam().delivered;
    result.status = GetParam().status;
    EXPECT_EQ(classify(result, GetParam().sense), GetParam().outcome);
}

namespace {

Bytes fixedSense(uint8_t key, uint8_t code)
{
    Bytes sense(18);
    sense[0] = 0xF0;  // valid bit set
    sense[2] = key;
    sense[7] = 10;
    sense[12] = code;
    return sense;
}

}

INSTANTIATE_TEST_SUITE_P(
    Table, SenseMeaning,
    ::testing::Values(SenseCase{true, 0x00, {}, Outcome::Good},
                      SenseCase{false, 0x00, {}, Outcome::Failed},
                      SenseCase{true, 0x08, {}, Outcome::Failed},  // busy
                      SenseCase{true, 0x02, {}, Outcome::Failed},  // no sense given
                      SenseCase{true, 0x02, fixedSense(0x02, 0x3A), Outcome::NoMedium},
                      SenseCase{true, 0x02, fixedSense(0x02, 0x04), Outcome::NotReady},
                      SenseCase{true, 0x02, fixedSense(0x03, 0x11), Outcome::MediumError},
                      SenseCase{true, 0x02, fixedSense(0x06, 0x28), Outcome::MediumChanged},
                      SenseCase{true, 0x02, fixedSense(0x05, 0x21), Outcome::Failed},
                      SenseCase{true, 0x02, Bytes{0x72, 0x02, 0x3A, 0x00}, Outcome::NoMedium},
                      SenseCase{true, 0x02, Bytes{0x72, 0x06, 0x28, 0x00}, Outcome::MediumChanged},
                      SenseCase{true, 0x02, Bytes{0x70, 0x00, 0x02}, Outcome::Failed},  // cut short
                      SenseCase{true, 0x02, Bytes{0x00, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3A}, Outcome::Failed}));
