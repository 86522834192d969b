// The SG_IO device's requests, seen through a stand-in for the ioctl: the command block, the
// direction, the lengths, the time-out and the sense area, and how the answer is read back.

#include "sg_io_backend.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

using namespace wavelark::scsi;

namespace {

struct SeenRequest {
    int descriptor = 0;
    unsigned long request = 0;
    sg_io_hdr_t header{};
    std::vector<uint8_t> cdb;
};

}

TEST(SgIoRequest, ReadCommandIsSentFromTheDeviceWithItsBufferTimeOutAndSenseArea)
{
    std::vector<SeenRequest> seen;
    auto device = makeSgIoDevice(
        42,
        [&](int descriptor, unsigned long request, sg_io_hdr_t* header) {
            SeenRequest copy{descriptor, request, *header, std::vector<uint8_t>(header->cmdp, header->cmdp + header->cmd_len)};
            seen.push_back(copy);
            header->status = 0;
            header->resid = 0;
            return 0;
        },
        false);
    const uint8_t cdb[12] = {0xBE, 0, 0, 0, 0x01, 0x02, 0, 0, 27, 0xF8, 0, 0};
    std::vector<uint8_t> data(27 * 2352);
    uint8_t sense[32];
    ScsiResult result = device->execute({cdb, data, 32767, sense});

    ASSERT_EQ(seen.size(), 1u);
    const sg_io_hdr_t& header = seen[0].header;
    EXPECT_EQ(seen[0].descriptor, 42);
    EXPECT_EQ(seen[0].request, static_cast<unsigned long>(SG_IO));
    EXPECT_EQ(header.interface_id, 'S');
    EXPECT_EQ(header.dxfer_direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(seen[0].cdb, std::vector<uint8_t>(cdb, cdb + 12));
    EXPECT_EQ(header.dxfer_len, 27u * 2352u);
    EXPECT_EQ(header.dxferp, data.data());
    EXPECT_EQ(header.mx_sb_len, 32);
    EXPECT_EQ(header.sbp, sense);
    EXPECT_EQ(header.timeout, 32767u);
    EXPECT_TRUE(result.good());
    EXPECT_EQ(result.transferred, 27u * 2352u);
}

TEST(SgIoRequest, CommandWithoutDataMovesNone)
{
    sg_io_hdr_t header;
    const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
    uint8_t sense[18];
    ASSERT_TRUE(buildSgIoRequest({cdb, {}, 10000, sense}, header));
    EXPECT_EQ(header.dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(header.dxfer_len, 0u);
    EXPECT_EQ(header.dxferp, nullptr);
    EXPECT_EQ(header.cmd_len, 6);
    EXPECT_EQ(header.mx_sb_len, 18);
    EXPECT_EQ(header.timeout, 10000u);
}

TEST(SgIoRequest, CommandBlocksOfNoneOrMoreThanSixteenBytesAreNotSent)
{
    int calls = 0;
    auto device = makeSgIoDevice(-1, [&](int, unsigned long, sg_io_hdr_t*) { return ++calls, 0; }, false);
    uint8_t longCdb[17] = {};
    EXPECT_FALSE(device->execute({longCdb, {}, 1000, {}}).delivered);
    EXPECT_FALSE(device->execute({{}, {}, 1000, {}}).delivered);
    EXPECT_EQ(calls, 0);
}

TEST(SgIoRequest, CheckConditionGivesStatusSenseAndTheBytesLessTheResidue)
{
    auto device = makeSgIoDevice(
        3,
        [](int, unsigned long, sg_io_hdr_t* header) {
            header->status = 0x02;
            header->driver_status = 0x08;  // sense data present
            header->sb_len_wr = 18;
            header->resid = 2352;
            header->sbp[2] = 0x03;
            return 0;
        },
        false);
    const uint8_t cdb[12] = {0xBE};
    std::vector<uint8_t> data(3 * 2352);
    uint8_t sense[14] = {};
    ScsiResult result = device->execute({cdb, data, 1000, sense});
    EXPECT_TRUE(result.delivered);
    EXPECT_EQ(result.status, kStatusCheckCondition);
    EXPECT_EQ(result.senseLength, 14u) << "never more than the sense area holds";
    EXPECT_EQ(result.transferred, 2u * 2352u);
    EXPECT_EQ(sense[2], 0x03);
}

TEST(SgIoRequest, HostFailuresAndFailedCallsAreNotDeliveredAndInterruptedCallsAreRepeated)
{
    auto hostFailure = makeSgIoDevice(
        3,
        [](int, unsigned long, sg_io_hdr_t* header) {
            header->host_status = 0x03;  // time-out at the host adapter
            return 0;
        },
        false);
    const uint8_t cdb[6] = {};
    EXPECT_FALSE(hostFailure->execute({cdb, {}, 1000, {}}).delivered);

    auto gone = makeSgIoDevice(3, [](int, unsigned long, sg_io_hdr_t*) { return errno = ENODEV, -1; }, false);
    ScsiResult result = gone->execute({cdb, {}, 1000, {}});
    EXPECT_FALSE(result.delivered);
    EXPECT_NE(result.error.find("SG_IO"), std::string::npos);

    int calls = 0;
    auto interrupted = makeSgIoDevice(
        3, [&](int, unsigned long, sg_io_hdr_t*) { return ++calls < 3 ? (errno = EINTR, -1) : 0; }, false);
    EXPECT_TRUE(interrupted->execute({cdb, {}, 1000, {}}).good());
    EXPECT_EQ(calls, 3);
}

TEST(SgIoRequest, ResidueOutsideTheTransferIsHeldToIt)
{
    sg_io_hdr_t header{};
    std::vector<uint8_t> data(100);
    const uint8_t cdb[6] = {0x12};
    ASSERT_TRUE(buildSgIoRequest({cdb, data, 1000, {}}, header));
    header.resid = -5;
    EXPECT_EQ(sgIoResult({cdb, data, 1000, {}}, header).transferred, 100u);
    header.resid = 500;
    EXPECT_EQ(sgIoResult({cdb, data, 1000, {}}, header).transferred, 0u);
}
