// CDtoWAV through the emulated drive: which sectors land in the file, in which order, how the
// header ends up, progress and cancel, and a disc changed between two rips.

#include "cdaudio/cd_drives.h"
#include "cdaudio/cd_ripper.h"
#include "emulated_disc.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"

#include "emulated_drive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using namespace wavelark::testing;

namespace {

// Track 1 at 00:02:00, track 2 at 03:00:00, lead-out at 05:00:00.
const char* const kTwoTracks = "emulated:tracks=00:02:00,03:00:00;leadout=05:00:00";

// Checks that the file is a canonical WAV header with finalised sizes followed by the sectors
// at logical blocks first, first + 1, ... (count of them), each exactly the drive's audio.
void expectSectors(const std::string& path, uint32_t first, uint32_t count)
{
    std::string bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), 44u + static_cast<uint64_t>(count) * kSectorBytes);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(littleEndianAt(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(littleEndianAt(bytes, 24), 44100u);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(littleEndianAt(bytes, 40), bytes.size() - 44);
    for (uint32_t sector = 0; sector < count; ++sector) {
        if (bytes.compare(44 + static_cast<size_t>(sector) * kSectorBytes, kSectorBytes, sectorAudio(first + sector)) != 0) {
            ADD_FAILURE() << "sector " << sector << " of the file is not logical block " << first + sector;
            return;
        }
    }
}

}

TEST(CdRipping, TrackOneOfTheExampleDiscIsLogicalBlocksZeroTo13349)
{
    EmulatedDisc disc(kTwoTracks);
    std::string destination = temporaryPath("track1.wav");
    RipProgress::reset();
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, RipProgress::record), 0);
    expectSectors(destination, 0, 13350);

    // -1 first, then one call a sector with the share written before it, truncated.
    ASSERT_EQ(RipProgress::values.size(), 13351u);
    EXPECT_EQ(RipProgress::values[0], -1);
    for (size_t sector = 0; sector < 13350; ++sector) {
        int expected = static_cast<int>(std::trunc(100.0 * static_cast<double>(sector) / 13350.0));
        // 100 / (whole / part) and 100 * part / whole may differ in the last bit at whole percents.
        EXPECT_NEAR(RipProgress::values[sector + 1], expected, 1) << "sector " << sector;
    }
    EXPECT_EQ(RipProgress::values[1], 0);
    EXPECT_EQ(RipProgress::values.back(), 99);
}

TEST(CdRipping, TheLastTrackEndsAtTheLeadOut)
{
    EmulatedDisc disc(kTwoTracks);
    std::string destination = temporaryPath("track2.wav");
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track02.cda", destination.c_str(), 0, nullptr), 0);
    // 03:00:00 is frame 13500 (block 13350); the lead-out 05:00:00 is frame 22500.
    expectSectors(destination, 13350, 9000);
}

TEST(CdRipping, TrackOneStartingAfterTheLeadInIsReadFromItsOwnAddress)
{
    // A first track behind a pregap: logical blocks count from 00:02:00, not from track 1.
    EmulatedDisc disc("emulated:tracks=00:04:00,00:06:00;leadout=00:07:00");
    std::string destination = temporaryPath("pregap.wav");
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, nullptr), 0);
    expectSectors(destination, 150, 150);
}

TEST(CdRipping, CancelAtTheFirstProgressCallLeavesExactlyOneSector)
{
    EmulatedDisc disc(kTwoTracks);
    std::string destination = temporaryPath("cancelled.wav");
    RipProgress::reset(1);
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, RipProgress::record), 0);
    expectSectors(destination, 0, 1);
    EXPECT_EQ(RipProgress::values, (std::vector<int>{-1, 0}));
}

TEST(CdRipping, CancelInsideAMultiSectorReadEndsAfterThatSector)
{
    EmulatedDisc disc(kTwoTracks);
    std::string destination = temporaryPath("cancelled40.wav");
    RipProgress::reset(40);
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track02.cda", destination.c_str(), 0, RipProgress::record), 0);
    expectSectors(destination, 13350, 40);
}

TEST(CdRipping, ASectorThatCannotBeReadEndsTheFileBeforeItAndTheResultSaysSo)
{
    // Block 6675 lies half-way through track 1 and inside the 248th command of 27 sectors.
    EmulatedDisc disc(std::string(kTwoTracks) + ";error=6675");
    for (uint32_t sectorsPerRead : {27u, 1u, 10u}) {
        std::string destination = temporaryPath("damaged" + std::to_string(sectorsPerRead) + ".wav");
        sorvak::cd::RipLimits limits;
        limits.sectorsPerRead = sectorsPerRead;
        EXPECT_EQ(sorvak::cd::ripTrack("/dev/sr0/Track01.cda", destination.c_str(), nullptr, limits),
                  sorvak::cd::kRipReadError);
        expectSectors(destination, 0, 6675);
    }
    std::string destination = temporaryPath("damaged.wav");
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, nullptr), 4);
}

TEST(CdRipping, SeveralSectorsACommandGiveTheSameBytesWithFarFewerCommands)
{
    // Audio from a WAV file: the rip must give back its data chunk byte for byte.
    std::string source = temporaryPath("disc.wav");
    {
        std::FILE* file = std::fopen(source.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::string wav = sineWav(44100, 2, 3.0, 997.0, 0.5);
        ASSERT_EQ(std::fwrite(wav.data(), 1, wav.size(), file), wav.size());
        std::fclose(file);
    }
    // 3 s of audio is 225 sectors; the track is 300 sectors long, its end silent.
    EmulatedDisc disc("emulated:tracks=00:02:00;leadout=00:06:00;audio=wav," + source);
    std::string batched = temporaryPath("batched.wav"), single = temporaryPath("single.wav");
    sorvak::cd::RipLimits limits;
    sorvak::cd::CdDriveTable drives = sorvak::cd::cdDrives();
    ASSERT_EQ(drives.drives.size(), 1u) << "found before the commands are counted";
    {
        // A drive that held another disc in an earlier test reports the change once: that
        // answer is taken here, not by the first rip only.
        std::string error;
        std::unique_ptr<wavelark::scsi::ScsiDevice> device = drives.backend->open("/dev/sr0", error);
        ASSERT_TRUE(device) << error;
        const uint8_t testUnitReady[6] = {};
        device->execute({testUnitReady, {}, 1000, {}});
    }
    uint64_t before = wavelark::scsi::emulatedCommandCount("/dev/sr0");
    ASSERT_EQ(sorvak::cd::ripTrack("/dev/sr0/Track01.cda", batched.c_str(), nullptr, limits), 0);
    uint64_t batchedCommands = wavelark::scsi::emulatedCommandCount("/dev/sr0") - before;
    limits.sectorsPerRead = 1;
    before = wavelark::scsi::emulatedCommandCount("/dev/sr0");
    ASSERT_EQ(sorvak::cd::ripTrack("/dev/sr0/Track01.cda", single.c_str(), nullptr, limits), 0);
    uint64_t singleCommands = wavelark::scsi::emulatedCommandCount("/dev/sr0") - before;

    std::string bytes = fileBytes(batched);
    EXPECT_EQ(bytes, fileBytes(single));
    ASSERT_EQ(bytes.size(), 44u + 300u * kSectorBytes);
    std::string wav = fileBytes(source);
    EXPECT_EQ(bytes.substr(44, wav.size() - 44), wav.substr(44));
    EXPECT_EQ(bytes.substr(wav.size()), std::string(bytes.size() - wav.size(), '\0'));
    // 300 sectors: 12 reads of up to 27 against 300, beside the same few set-up commands.
    EXPECT_EQ(singleCommands - batchedCommands, 300u - 12u);
}

TEST(CdRipping, TheFileReadsBackAsCdAudioOfTheExactLength)
{
    EmulatedDisc disc("emulated:tracks=00:02:00,00:10:33;leadout=00:20:00");
    std::string destination = temporaryPath("probed.wav");
    ASSERT_EQ(CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, nullptr), 0);
    // 00:02:00 to 00:10:33 is 633 sectors of 588 frames.
    EXPECT_EQ(probeEntry(destination, "stream", "sample_rate"), "44100");
    EXPECT_EQ(probeEntry(destination, "stream", "channels"), "2");
    EXPECT_EQ(probeEntry(destination, "stream", "codec_name"), "pcm_s16le");
    EXPECT_EQ(probeEntry(destination, "stream", "duration_ts"), std::to_string(633 * 588));
}

TEST(CdRipping, ADiscChangedBetweenTwoRipsIsRippedWithItsOwnTable)
{
    EmulatedDisc disc(kTwoTracks);
    std::string first = temporaryPath("first.wav"), second = temporaryPath("second.wav");
    ASSERT_EQ(CDtoWAV("/dev/sr0/Track02.cda", first.c_str(), 0, nullptr), 0);
    expectSectors(first, 13350, 9000);

    // The drive answers the next command with a unit attention; the table is read anew.
    disc.change("emulated:tracks=00:02:00,00:04:00,00:05:10;leadout=00:06:00");
    ASSERT_EQ(CDtoWAV("/dev/sr0/Track02.cda", second.c_str(), 0, nullptr), 0);
    expectSectors(second, 150, 85);
    ASSERT_EQ(CDtoWAV("/dev/sr0/Track03.cda", second.c_str(), 0, nullptr), 0);
    expectSectors(second, 235, 65);
}

TEST(CdRipping, ADiscChangedDuringTheRipEndsItAsAFailureWithWhatWasRead)
{
    // The change comes at the drive's 40th command after the disc came: well inside the reads.
    EmulatedDisc disc(std::string(kTwoTracks) + ";change=40");
    std::string destination = temporaryPath("changed.wav");
    EXPECT_EQ(CDtoWAV("/dev/sr0/Track01.cda", destination.c_str(), 0, nullptr), 4);
    std::string bytes = fileBytes(destination);
    ASSERT_GT(bytes.size(), 44u);
    ASSERT_LT(bytes.size(), 44u + 13350u * kSectorBytes);
    expectSectors(destination, 0, static_cast<uint32_t>((bytes.size() - 44) / kSectorBytes));
}

TEST(CdRipping, DrivesAreFoundWithTheirRootsAndInquiryNames)
{
    EmulatedDisc disc("emulated:drives=3");
    sorvak::cd::CdDriveTable table = sorvak::cd::cdDrives();
    ASSERT_EQ(table.drives.size(), 3u);
    for (size_t index = 0; index < 3; ++index) {
        std::string path = "/dev/sr" + std::to_string(index);
        EXPECT_EQ(table.drives[index].path, path);
        EXPECT_EQ(table.drives[index].root, path + "/");
        // Vendor, product and revision from INQUIRY, the product's trailing blank dropped.
        EXPECT_EQ(table.drives[index].name, "WAVELARK EMULATED CD-ROM 1.0");
    }
}

TEST(CdRipping, EveryDriveUpToEightIsFoundAndEachRipsFromItsOwnRoot)
{
    EmulatedDisc disc("emulated:tracks=00:02:00,00:03:00;leadout=00:04:00;drives=10");
    std::string destination = temporaryPath("eighth.wav");
    EXPECT_EQ(CDtoWAV("/dev/sr7/Track02.cda", destination.c_str(), 0, nullptr), 0);
    expectSectors(destination, 75, 75);
    std::string ninth = temporaryPath("ninth.wav");
    EXPECT_EQ(CDtoWAV("/dev/sr8/Track01.cda", ninth.c_str(), 0, nullptr), 1);
    EXPECT_FALSE(fileExists(ninth));
}

TEST(CdRipping, TwoDrivesRipAtOnceFromThreadsThatBothFindTheDrives)
{
    // Both threads reach the first use of the drive table together.
    EmulatedDisc disc("emulated:tracks=00:02:00,00:06:00;leadout=00:09:00;drives=2");
    std::string first = temporaryPath("drive0.wav"), second = temporaryPath("drive1.wav");
    int firstResult = -1, secondResult = -1;
    std::thread ripper([&] { firstResult = CDtoWAV("/dev/sr0/Track01.cda", first.c_str(), 0, nullptr); });
    secondResult = CDtoWAV("/dev/sr1/Track02.cda", second.c_str(), 0, nullptr);
    ripper.join();
    EXPECT_EQ(firstResult, 0);
    EXPECT_EQ(secondResult, 0);
    expectSectors(first, 0, 300);
    expectSectors(second, 300, 225);
}
