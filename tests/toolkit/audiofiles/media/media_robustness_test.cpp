// Damaged and hostile files given to the media layer: refused without a crash, or read to their
// end; WMA2WAV always leaves a finalised WAV file, AudioFileToWAV one or none. Run under the
// sanitizers.

#include "sorvak.h"
#include "support/temporary_folder.h"
#include "toolkit/audiofiles/media/audio_test_tools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>

using namespace wavelark::testing;

namespace {

constexpr int kSlot = 2;

std::string randomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// The 16-byte identifier an ASF file starts with.
const std::string kAsfHeaderId("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);

// The name ending of a file in the given codec.
std::string extensionOf(const std::string& codec)
{
    return codec == "wmav2" ? ".wma" : codec == "flac" ? ".flac" : ".mp3";
}

// The bytes of a file ffmpeg writes: 1.5 s of a sine in the given codec.
std::string madeFile(const char* codec)
{
    TemporaryFolder folder;
    std::string path = folder.file("made" + extensionOf(codec));
    std::string command = std::string("ffmpeg -v error -f lavfi -i sine=duration=1.5 -ac 2 -c:a ") + codec + " "
        + shellQuoted(path);
    EXPECT_TRUE(runCommand(command).succeeded) << command;
    return readFile(path);
}

struct Hostile {
    const char* name;
    const char* fileName;
    std::string (*bytes)();
};

class HostileFile : public ::testing::TestWithParam<Hostile> {
protected:
    void SetUp() override
    {
        path = folder.file(GetParam().fileName);
        writeFile(path, GetParam().bytes());
    }
    void TearDown() override { CloseWMA(kSlot); }

    TemporaryFolder folder;
    std::string path;
};

const Hostile kHostileFiles[] = {
    {"Empty", "empty.wma", [] { return std::string(); }},
    {"Text", "text.mp3", [] { return std::string("this is not audio"); }},
    {"RandomBytes", "random.wma", [] { return randomBytes(4096, 1); }},
    {"AsfIdThenRandomBytes", "asf.wma", [] { return kAsfHeaderId + randomBytes(4096, 2); }},
    {"WmaCutInItsHeader", "cut.wma", [] { return madeFile("wmav2").substr(0, 200); }},
    {"Mp3CutInItsFirstFrame", "cut.mp3", [] { return madeFile("libmp3lame").substr(0, 100); }},
    {"WavNamedRandomBytes", "random.wav", [] { return randomBytes(4096, 3); }},
    {"WavNamedRiffWithoutChunks", "riff.wav", [] { return std::string("RIFF\x04\0\0\0WAVE", 12); }},
};

}

namespace {

// Every media entry refuses the file; WMA2WAV still leaves a finalised WAV file without samples.
void expectRefusedEverywhere(const std::string& path, const TemporaryFolder& folder)
{
    EXPECT_EQ(OpenWMA(kSlot, path.c_str(), 0, nullptr), 0);
    int32_t length = 3;
    void* block = &length;  // anything but null, to see it cleared
    EXPECT_EQ(ReadWMA(kSlot, &block, &length, nullptr, 1.0, 0), -1);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(GetWMAInfo(path.c_str(), "Title"), nullptr);
    EXPECT_STREQ(GetWMADuration(path.c_str()), nanosec2time(0));

    SorvakAudioFileReport report {};
    EXPECT_NE(ExamineAudioFile(path.c_str(), &report), SORVAK_AUDIO_FILE_AUDIO);
    EXPECT_EQ(report.verdict, ExamineAudioFile(path.c_str(), &report));
    std::string converted = folder.file("converted.wav");
    EXPECT_NE(AudioFileToWAV(path.c_str(), converted.c_str(), nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(converted));

    std::string destination = folder.file("out.wav");
    EXPECT_NE(WMA2WAV(path.c_str(), destination.c_str(), nullptr), 0);
    std::string file = readFile(destination);
    ASSERT_EQ(file.size(), 44u);
    EXPECT_EQ(littleEndianAt(file, 4), 36u);
    EXPECT_EQ(littleEndianAt(file, 40), 0u);
}

}

TEST_P(HostileFile, IsRefusedEverywhere)
{
    expectRefusedEverywhere(path, folder);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFile, ::testing::ValuesIn(kHostileFiles),
                         [](const ::testing::TestParamInfo<Hostile>& info) { return std::string(info.param.name); });

namespace {

// Something named like an MP3 file that is no audio file of its own. make() sets it up at path;
// target is a real MP3 file in the same folder.
struct Impostor {
    const char* name;
    void (*make)(const std::string& path, const std::string& target);
};

const Impostor kImpostors[] = {
    {"NamedPipe", [](const std::string& path, const std::string&) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
    {"Folder", [](const std::string& path, const std::string&) { std::filesystem::create_directory(path); }},
    {"LinkToADevice",
     [](const std::string& path, const std::string&) { std::filesystem::create_symlink("/dev/zero", path); }},
    {"HlsPlaylist",
     [](const std::string& path, const std::string& target) {
         writeFile(path, "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.5,\n" + target + "\n#EXT-X-ENDLIST\n");
     }},
    {"ConcatScript",
     [](const std::string& path, const std::string& target) {
         writeFile(path, "ffconcat version 1.0\nfile " + std::filesystem::path(target).filename().string() + "\n");
     }},
};

class ImpostorFile : public ::testing::TestWithParam<Impostor> {};

}

TEST_P(ImpostorFile, IsRefusedEverywhereWithoutWaitingWhileTheFileItNamesOpens)
{
    TemporaryFolder folder;
    std::string path = folder.file("impostor.mp3");
    std::string target = folder.file("real.mp3");
    writeFile(target, madeFile("libmp3lame"));
    GetParam().make(path, target);

    runWithoutHanging([&] { expectRefusedEverywhere(path, folder); }, path);
    CloseWMA(kSlot);
    EXPECT_EQ(OpenWMA(kSlot, target.c_str(), 0, nullptr), 1);
    CloseWMA(kSlot);
}

INSTANTIATE_TEST_SUITE_P(Files, ImpostorFile, ::testing::ValuesIn(kImpostors),
                         [](const ::testing::TestParamInfo<Impostor>& info) { return std::string(info.param.name); });

namespace {

struct Damage {
    const char* name;
    std::string (*apply)(const std::string& bytes);
};

std::string cutAtTenth(const std::string& bytes) { return bytes.substr(0, bytes.size() / 10); }
std::string cutInHalf(const std::string& bytes) { return bytes.substr(0, bytes.size() / 2); }
std::string cutShortOfTheEnd(const std::string& bytes) { return bytes.substr(0, bytes.size() - 333); }

std::string flipBytesAfterTheHeader(const std::string& bytes)
{
    std::string damaged = bytes;
    for (std::size_t index = damaged.size() / 8; index < damaged.size(); index += 97)
        damaged[index] = static_cast<char>(~damaged[index]);
    return damaged;
}

std::string zeroTheMiddle(const std::string& bytes)
{
    std::string damaged = bytes;
    std::fill(damaged.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 3),
              damaged.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2), '\0');
    return damaged;
}

std::string randomiseTheMiddle(const std::string& bytes)
{
    std::string damaged = bytes;
    std::string noise = randomBytes(bytes.size() / 4, 4);
    damaged.replace(bytes.size() / 3, noise.size(), noise);
    return damaged;
}

const Damage kDamages[] = {
    {"CutAtATenth", cutAtTenth},
    {"CutInHalf", cutInHalf},
    {"CutShortOfTheEnd", cutShortOfTheEnd},
    {"FlippedBytes", flipBytesAfterTheHeader},
    {"ZeroedMiddle", zeroTheMiddle},
    {"RandomMiddle", randomiseTheMiddle},
};

class DamagedFile : public ::testing::TestWithParam<std::tuple<const char*, Damage>> {};

}

TEST_P(DamagedFile, IsReadToItsEndOrRefused)
{
    TemporaryFolder folder;
    const char* codec = std::get<0>(GetParam());
    std::string extension = extensionOf(codec);
    std::string original = madeFile(codec);
    std::string path = folder.file("damaged" + extension);
    writeFile(path, std::get<1>(GetParam()).apply(original));

    int64_t duration = 0;
    bool opened = OpenWMA(kSlot, path.c_str(), 0, &duration) == 1;
    if (opened) {
        // 1.5 s of audio cannot take more blocks than this, however it is cut.
        int blocks = 0;
        for (; blocks < 10000; ++blocks) {
            void* block = nullptr;
            int32_t length = 0;
            int progress = ReadWMA(kSlot, &block, &length, nullptr, 1.0, 0);
            std::free(block);
            if (progress < 0)
                break;
            EXPECT_GE(progress, 0);
            EXPECT_LE(progress, 100);
            EXPECT_EQ(length % 4, 0);
        }
        EXPECT_LT(blocks, 10000);
    }
    CloseWMA(kSlot);

    // The import's conversion reads it to its end as well, or refuses it and leaves nothing.
    SorvakAudioFileReport report {};
    ExamineAudioFile(path.c_str(), &report);
    EXPECT_GE(report.verdict, SORVAK_AUDIO_FILE_AUDIO);
    EXPECT_LE(report.verdict, SORVAK_AUDIO_FILE_CUT_OFF);
    std::string converted = folder.file("converted.wav");
    if (AudioFileToWAV(path.c_str(), converted.c_str(), nullptr) == 0) {
        std::string file = readFile(converted);
        ASSERT_GE(file.size(), 44u);
        EXPECT_EQ(littleEndianAt(file, 40), file.size() - 44);
        EXPECT_LE(file.size() - 44, static_cast<std::size_t>(1.6 * 176400));
    } else {
        EXPECT_FALSE(std::filesystem::exists(converted));
    }

    std::string destination = folder.file("out.wav");
    EXPECT_EQ(WMA2WAV(path.c_str(), destination.c_str(), nullptr) == 0, opened);
    std::string file = readFile(destination);
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(littleEndianAt(file, 40), file.size() - 44);
    // Never longer than the undamaged file's audio and the decoder's last frame.
    EXPECT_LE(file.size() - 44, static_cast<std::size_t>(1.6 * 176400));
}

INSTANTIATE_TEST_SUITE_P(Codecs, DamagedFile,
                         ::testing::Combine(::testing::Values("wmav2", "libmp3lame", "flac"), ::testing::ValuesIn(kDamages)),
                         [](const ::testing::TestParamInfo<std::tuple<const char*, Damage>>& info) {
                             return std::string(std::get<0>(info.param)) + std::get<1>(info.param).name;
                         });
