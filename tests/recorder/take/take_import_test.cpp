// Importing a file in place of the take: WAV files of the take's format copied, anything else
// converted by the toolkit,
// and every refusal leaving the current take as it was.

#include "capture_test_support.h"

#include "take/take_import.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/wav_builder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace wavelark {
namespace {

using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

class TakeImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureRecorderRuntime();
        writeFile(takePath, oldTake);
    }

    ImportResult import(const std::string& path) { return importIntoTake(path, takePath, {}, nullptr); }

    void expectTakeKept(const ImportResult& result)
    {
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(readFile(takePath), oldTake);
        EXPECT_FALSE(std::filesystem::exists(importSidePath(takePath)));
    }

    TemporaryFolder folder;
    std::string takePath = folder.file("recording.raw");
    std::string oldTake = testing::patternBytes(4000);
};

TEST_F(TakeImport, CanonicalWavBecomesTheTakeWithElevenSilentFrames)
{
    const std::string samples = testing::sineSamples(44100, 2, 0.3, 440.0, 0.5) + testing::patternBytes(2 * 1048576);
    const std::string path = folder.file("song.Wav");
    writeFile(path, testing::simpleWav(samples));
    std::vector<int> reports;
    const ImportResult result = importIntoTake(path, takePath, [&](int percent) { reports.push_back(percent); }, nullptr);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(readFile(takePath), std::string(44, '\0') + samples);
    EXPECT_EQ(result.takeBytes, 44 + samples.size());
    EXPECT_EQ(reports.back(), 100);
    EXPECT_FALSE(std::filesystem::exists(importSidePath(takePath)));
}

TEST_F(TakeImport, ChunksAroundTheDataAreCopiedAsSamples)
{
    const std::string samples = testing::sineSamples(44100, 2, 0.2, 440.0, 0.5);
    const std::string file = testing::riffWave({{"fmt ", testing::pcmFormatBody(44100, 16, 2)},
                                                {"LIST", "INFOISFT" + testing::littleEndian32(6) + "tester"},
                                                {"data", samples},
                                                {"junk", "trailing bytes"}});
    const std::string path = folder.file("chunks.wav");
    writeFile(path, file);
    ASSERT_TRUE(import(path).ok());
    EXPECT_EQ(readFile(takePath), std::string(44, '\0') + file.substr(44));
}

// WAV files the copy refused before are converted now; what is not a WAV file at all is refused
// by name.
TEST_F(TakeImport, WavInAnotherFormatIsConvertedAndANonWavRefusedByName)
{
    for (const auto& [name, bytes] : {std::pair{"rate48000.wav", testing::sineWav(48000, 2, 0.2, 440.0, 0.5)},
                                      std::pair{"mono.wav", testing::sineWav(44100, 1, 0.2, 440.0, 0.5)},
                                      std::pair{"eight.wav", testing::simpleWav(testing::patternBytes(8000), 44100, 8, 2)}}) {
        const std::string path = folder.file(name);
        writeFile(path, bytes);
        const ImportResult result = import(path);
        EXPECT_TRUE(result.ok()) << name << ": " << result.message;
        writeFile(takePath, oldTake);
    }
    const std::string path = folder.file("not-riff.wav");
    writeFile(path, testing::patternBytes(8000));
    const ImportResult result = import(path);
    EXPECT_EQ(result.failure, ImportFailure::NotAudio);
    EXPECT_NE(result.message.find(path), std::string::npos) << result.message;
    expectTakeKept(result);
}

struct EncodedFile {
    const char* name;
    const char* extension;
    const char* encoder;  // the command, with IN and OUT in place of the paths
    double frameSamples;
};

class EncodedImport : public TakeImport, public ::testing::WithParamInterface<EncodedFile> {};

TEST_P(EncodedImport, IsDecodedIntoTheTake)
{
    const EncodedFile& row = GetParam();
    const std::string source = folder.file("tone.wav");
    writeFile(source, testing::sineWav(44100, 2, 2.0, 440.0, 0.5));
    const std::string path = folder.file(std::string("tone") + row.extension);
    const std::string command = testing::commandWithPaths(row.encoder, source, path);
    ASSERT_TRUE(testing::runCommand(command).succeeded) << command;

    testing::ProgressRecorder::reset();
    const ImportResult result = importIntoTake(path, takePath, {}, testing::ProgressRecorder::record);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_FALSE(testing::ProgressRecorder::values.empty());
    const std::string take = readFile(takePath);
    EXPECT_EQ(take.substr(0, 44), std::string(44, '\0'));
    const std::vector<int16_t> samples = testing::samplesOf(take.substr(44));
    EXPECT_NEAR(samples.size() / 2.0, 2.0 * 44100, row.frameSamples);
    EXPECT_NEAR(testing::toneFrequency(samples, 2, 1, 44100), 440.0, 0.5);
    EXPECT_NEAR(testing::rmsLevel(samples, 2, 0), 0.5 / std::sqrt(2.0), 0.02);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, EncodedImport,
    ::testing::Values(EncodedFile{"Lame", ".mp3", "lame --quiet -b 192 IN OUT", 1152 + 1105},
                      EncodedFile{"FfmpegMp3", ".MP3", "ffmpeg -v error -y -i IN -c:a libmp3lame -b:a 128k OUT", 1152 + 1105},
                      EncodedFile{"FfmpegWma", ".wma", "ffmpeg -v error -y -i IN -c:a wmav2 -b:a 128k OUT", 2048}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TakeImport, DamagedFileIsRefusedByName)
{
    const std::string path = folder.file("damaged.mp3");
    writeFile(path, testing::patternBytes(100000));
    const ImportResult result = import(path);
    EXPECT_EQ(result.failure, ImportFailure::NotAudio);
    EXPECT_NE(result.message.find(path), std::string::npos) << result.message;
    expectTakeKept(result);
}

TEST_F(TakeImport, NamedPipeIsRefusedWithoutWaiting)
{
    const std::string path = folder.file("x.mp3");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    ImportResult result;
    testing::runWithoutHanging([&] { result = import(path); }, path);
    EXPECT_EQ(result.failure, ImportFailure::NotRegularFile);
    expectTakeKept(result);

    const std::string wavPipe = folder.file("x.wav");
    ASSERT_EQ(mkfifo(wavPipe.c_str(), 0600), 0);
    testing::runWithoutHanging([&] { result = import(wavPipe); }, wavPipe);
    EXPECT_EQ(result.failure, ImportFailure::NotRegularFile);
    expectTakeKept(result);
}

TEST_F(TakeImport, MissingFileIsRefusedByName)
{
    const ImportResult result = import(folder.file("gone.wma"));
    EXPECT_NE(result.message.find("gone.wma"), std::string::npos) << result.message;
    expectTakeKept(result);
}

TEST(ImportWay, LastThreeCharactersChooseTheWavCopy)
{
    EXPECT_TRUE(importsAsWav("/music/a.WAV"));
    EXPECT_TRUE(importsAsWav("/music/a.wav"));
    EXPECT_TRUE(importsAsWav("/music/awav"));
    EXPECT_FALSE(importsAsWav("/music/a.wave"));
    EXPECT_FALSE(importsAsWav("/music/a.mp3"));
    EXPECT_FALSE(importsAsWav("av"));
}

}
}
