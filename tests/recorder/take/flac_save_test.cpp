// FLAC saves: the exact path from the take's range (decoded by flac and checked with its own MD5
// against the range's bytes), the pass's output with fades or maximise, the Vorbis comments read
// by metaflac, and the read-back that keeps a file which is not its source out of the archive.

#include "capture_test_support.h"

#include "take/flac_check.h"
#include "take/flac_encoder.h"
#include "take/save_pass.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <filesystem>
#include <fstream>
#include <functional>

namespace wavelark {
namespace {

namespace fs = std::filesystem;
using testing::commandWithPaths;
using testing::readFile;
using testing::runCommand;
using testing::shellQuoted;
using testing::TemporaryFolder;
using testing::writeSamples;

// Full-scale noise from a small linear congruential generator (fast enough for ten minutes),
// with the extreme values a clamp would change at its start.
std::vector<int16_t> noiseFrames(std::size_t frames, uint32_t seed)
{
    std::vector<int16_t> samples(frames * 2);
    uint32_t state = seed;
    for (int16_t& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<int16_t>(state >> 16);
    }
    const int16_t extremes[] = {-32768, 32767, -32767, 32766};
    for (std::size_t index = 0; index < std::min<std::size_t>(samples.size(), 4); ++index)
        samples[index] = extremes[index];
    return samples;
}

std::string bytesOf(const std::vector<int16_t>& samples, std::size_t firstFrame, std::size_t frames)
{
    return std::string(reinterpret_cast<const char*>(samples.data() + firstFrame * 2), frames * 4);
}

// The file decoded by the flac program to raw little-endian 16-bit samples.
std::string decodedByFlac(const std::string& path)
{
    const testing::CommandResult decoded =
        runCommand("flac -d -s -c --force-raw-format --endian=little --sign=signed " + shellQuoted(path));
    EXPECT_TRUE(decoded.succeeded) << path;
    return decoded.output;
}

// The Vorbis comments as metaflac exports them, one NAME=value a line.
std::string exportedTags(const std::string& path)
{
    return runCommand("metaflac --export-tags-to=- " + shellQuoted(path)).output;
}

class FlacSaveFixture : public ::testing::Test {
protected:
    void SetUp() override { testing::ensureRecorderRuntime(); }

    // A take of `before` frames, `frames` frames to save and 100 frames after, all noise.
    SaveRange writeTake(std::size_t before, std::size_t frames)
    {
        take = noiseFrames(before + frames + 100, static_cast<uint32_t>(frames));
        writeSamples(takePath, take);
        return SaveRange{static_cast<uint32_t>(before * 4), static_cast<uint32_t>((before + frames) * 4)};
    }
    SaveJob job(SaveRange range, FadeSettings fades, SaveQuality quality = SaveQuality::Medium) const
    {
        return SaveJob{takePath, temporaryPath, destination, range, fades, SaveFormat::Flac, quality};
    }

    TemporaryFolder folder;
    std::string takePath = folder.file("recording.raw");
    std::string temporaryPath = folder.file("temp.wav");
    std::string destination = folder.file("master.flac");
    std::vector<int16_t> take;
};

struct ExactCase {
    const char* name;
    std::size_t before; // frames of the take ahead of the selection
    std::size_t frames; // the selection's length
    SaveQuality quality;
};

class ExactFlacSave : public FlacSaveFixture, public ::testing::WithParamInterface<ExactCase> {};

// With fades and maximise off the file holds exactly the selected frames: the full-scale extremes
// a pass would clamp, every sample as flac decodes it, the MD5 of STREAMINFO equal to that of the
// range's bytes, and no temporary file written on the way.
TEST_P(ExactFlacSave, HoldsExactlyTheSelectedFramesOfTheTake)
{
    const ExactCase& row = GetParam();
    const SaveRange range = writeTake(row.before, row.frames);
    std::vector<SavePhase> phases;
    const SaveResult result =
        saveRange(job(range, {true, 0, false, 250, false}, row.quality), [&](SavePhase phase, int) { phases.push_back(phase); },
                  nullptr);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(phases, std::vector<SavePhase>{SavePhase::Converting});
    EXPECT_FALSE(fs::exists(temporaryPath));
    EXPECT_FALSE(fs::exists(destination + ".part"));

    EXPECT_TRUE(runCommand("flac -t -s " + shellQuoted(destination) + " 2>&1").succeeded);
    const std::string expected = bytesOf(take, row.before, row.frames);
    const std::string decoded = decodedByFlac(destination);
    ASSERT_EQ(decoded.size(), expected.size());
    EXPECT_TRUE(decoded == expected) << "the decoded samples differ from the selection";
    const std::string md5 =
        QCryptographicHash::hash(QByteArray::fromStdString(expected), QCryptographicHash::Md5).toHex().toStdString();
    EXPECT_EQ(runCommand("metaflac --show-md5sum " + shellQuoted(destination)).output, md5 + "\n");
    EXPECT_EQ(runCommand("metaflac --show-total-samples " + shellQuoted(destination)).output,
              std::to_string(row.frames) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ExactFlacSave,
    ::testing::Values(ExactCase{"OneFrame", 1237, 1, SaveQuality::High},
                      ExactCase{"OneSecondSmallest", 4097, 44100, SaveQuality::High},
                      ExactCase{"OneSecondFastest", 3, 44100, SaveQuality::Low},
                      ExactCase{"TenMinutesDefaultLevel", 4607, 10 * 60 * 44100 + 1, SaveQuality::Medium}),
    [](const ::testing::TestParamInfo<ExactCase>& info) { return std::string(info.param.name); });

// With fades or maximise on the file holds the pass's output: the temporary WAV as the pass left
// it, which differs from the take's range.
TEST_F(FlacSaveFixture, WithFadesAndMaximiseHoldsThePassOutput)
{
    const SaveRange range = writeTake(999, 30000);
    const SaveResult result = saveRange(job(range, {true, 100, true, 100, true}), nullptr, nullptr);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_TRUE(runCommand("flac -t -s " + shellQuoted(destination) + " 2>&1").succeeded);
    const std::string passOutput = readFile(temporaryPath).substr(44);
    ASSERT_EQ(passOutput.size(), range.bytes());
    EXPECT_NE(passOutput, bytesOf(take, 999, 30000));
    EXPECT_TRUE(decodedByFlac(destination) == passOutput);
}

// The quality chooses the level: smaller at HIGH than at LOW, both lossless (checked above).
TEST_F(FlacSaveFixture, QualityChoosesTheCompressionLevel)
{
    EXPECT_EQ(conversionSettings(SaveFormat::Flac, SaveQuality::High).flacLevel, 8);
    EXPECT_EQ(conversionSettings(SaveFormat::Flac, SaveQuality::Medium).flacLevel, 5);
    EXPECT_EQ(conversionSettings(SaveFormat::Flac, SaveQuality::Low).flacLevel, 0);
    EXPECT_STREQ(saveExtension(SaveFormat::Flac), ".flac");
    // A tone compresses, so the levels differ in size.
    const std::string tone = testing::sineSamples(44100, 2, 2.0, 440.0, 0.5);
    std::vector<int16_t> samples(tone.size() / 2);
    std::memcpy(samples.data(), tone.data(), tone.size());
    writeSamples(takePath, samples);
    const SaveRange range{0, static_cast<uint32_t>(tone.size())};
    ASSERT_TRUE(saveRange(job(range, {}, SaveQuality::High), nullptr, nullptr).ok());
    const auto smallest = fs::file_size(destination);
    ASSERT_TRUE(saveRange(job(range, {}, SaveQuality::Low), nullptr, nullptr).ok());
    EXPECT_LT(smallest, fs::file_size(destination));
}

// Tags as the toolkit's tagged converters take them, as Vorbis comments; none without tags.
TEST_F(FlacSaveFixture, TagsAreWrittenAsVorbisComments)
{
    const SaveRange range = writeTake(10, 4410);
    const SorvakTags tags{"Café Lights", "The Band", "Side A", "1979", 3, 12};
    SaveJob tagged = job(range, {});
    tagged.tags = &tags;
    ASSERT_TRUE(saveRange(tagged, nullptr, nullptr).ok());
    EXPECT_EQ(exportedTags(destination),
              "TITLE=Café Lights\nARTIST=The Band\nALBUM=Side A\nDATE=1979\nTRACKNUMBER=3\nTRACKTOTAL=12\n");

    // Through the temporary WAV too (fades on), with only some fields set.
    const SorvakTags some{nullptr, "", "Side B", nullptr, 4, 0};
    tagged.tags = &some;
    tagged.fades = {true, 50, false, 0, false};
    ASSERT_TRUE(saveRange(tagged, nullptr, nullptr).ok());
    EXPECT_EQ(exportedTags(destination), "ALBUM=Side B\nTRACKNUMBER=4\n");

    ASSERT_TRUE(saveRange(job(range, {}), nullptr, nullptr).ok());
    EXPECT_EQ(exportedTags(destination), "");
}

// The read-back follows the encoder as it writes and finds a file that is not its source: here
// the source it checks against differs from the encoder's in one frame.
TEST_F(FlacSaveFixture, ReadBackFollowingTheEncoderFindsAFrameThatDiffers)
{
    writeSamples(takePath, noiseFrames(44100 * 8, 11)); // past several blocks of the encoder's reads
    std::vector<int16_t> changed = noiseFrames(44100 * 8, 11);
    changed[2 * 300000 + 1] ^= 1;
    const std::string changedPath = folder.file("changed.raw");
    writeSamples(changedPath, changed);
    PcmRegion encoded;
    PcmRegion checked;
    ASSERT_TRUE(encoded.openForReading(takePath, 0, 0));
    ASSERT_TRUE(checked.openForReading(changedPath, 0, 0));
    testing::writeFile(destination, "");
    FlacReadBack readBack(destination, checked);
    const std::optional<std::string> failure =
        encodeFlac(encoded, destination, kDefaultFlacLevel, nullptr, nullptr, [&readBack] { readBack.written(); });
    ASSERT_FALSE(failure.has_value()) << *failure;
    const std::optional<std::string> difference = readBack.finish(true);
    ASSERT_TRUE(difference.has_value());
    EXPECT_NE(difference->find("frame 300000 differs"), std::string::npos) << *difference;
    // Against its own source the same file passes.
    EXPECT_FALSE(flacDifference(destination, encoded).has_value());
}

// A cancel from the progress function stops the encoding; nothing is left.
TEST_F(FlacSaveFixture, CancelledEncodingLeavesNoFile)
{
    const SaveRange range = writeTake(0, 44100 * 20); // 4 blocks of the encoder's reads
    testing::ProgressRecorder::reset(2);
    const SaveResult result = saveRange(job(range, {}), nullptr, testing::ProgressRecorder::record);
    EXPECT_EQ(result.failure, SaveFailure::Conversion);
    EXPECT_NE(result.message.find("cancelled"), std::string::npos) << result.message;
    EXPECT_EQ(testing::ProgressRecorder::values.size(), 2u);
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_FALSE(fs::exists(destination + ".part"));
}

struct DifferenceCase {
    const char* name;
    std::function<void(const std::string& flacPath, const std::string& sourcePath)> damage;
    const char* expected; // part of the difference's text
};

class FlacDifference : public FlacSaveFixture, public ::testing::WithParamInterface<DifferenceCase> {};

// The read-back against a source: every kind of difference is found and named.
TEST_P(FlacDifference, IsFoundAndNamed)
{
    const DifferenceCase& row = GetParam();
    writeSamples(takePath, noiseFrames(10000, 7));
    PcmRegion source;
    ASSERT_TRUE(source.openForReading(takePath, 0, 0));
    ASSERT_FALSE(encodeFlac(source, destination, kDefaultFlacLevel, nullptr, nullptr).has_value());
    ASSERT_FALSE(flacDifference(destination, source).has_value());
    row.damage(destination, takePath);
    ASSERT_TRUE(source.openForReading(takePath, 0, 0));
    const std::optional<std::string> difference = flacDifference(destination, source);
    ASSERT_TRUE(difference.has_value());
    EXPECT_NE(difference->find(row.expected), std::string::npos) << *difference;
}

void resize(const std::string& path, uintmax_t bytes)
{
    fs::resize_file(path, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, FlacDifference,
    ::testing::Values(
        DifferenceCase{"OneSampleOfTheSource",
                       [](const std::string&, const std::string& source) {
                           std::fstream file(source, std::ios::in | std::ios::out | std::ios::binary);
                           file.seekp(4 * 9999 + 2);
                           file.put('\x55');
                       },
                       "frame 9999 differs"},
        DifferenceCase{"SourceLonger",
                       [](const std::string&, const std::string& source) { resize(source, 4 * 10001); },
                       "10001 were expected"},
        DifferenceCase{"FileCutShort",
                       [](const std::string& flac, const std::string&) { resize(flac, fs::file_size(flac) / 2); },
                       "damaged or cut short"},
        DifferenceCase{"NotFlacAtAll",
                       [](const std::string& flac, const std::string&) { testing::writeFile(flac, "RIFF....WAVEfmt "); },
                       "cannot be"},
        DifferenceCase{"SignatureOfOtherAudio",
                       [](const std::string& flac, const std::string&) {
                           std::fstream file(flac, std::ios::in | std::ios::out | std::ios::binary);
                           file.seekp(26 + 7);
                           file.put('\x5a');
                       },
                       "MD5 signature does not match"},
        DifferenceCase{"NoSignature",
                       [](const std::string& flac, const std::string&) {
                           std::fstream file(flac, std::ios::in | std::ios::out | std::ios::binary);
                           file.seekp(26);
                           file.write(std::string(16, '\0').data(), 16);
                       },
                       "no MD5 signature"},
        DifferenceCase{"FlippedBitInTheAudio",
                       [](const std::string& flac, const std::string&) {
                           std::fstream file(flac, std::ios::in | std::ios::out | std::ios::binary);
                           file.seekg(static_cast<std::streamoff>(fs::file_size(flac) - 2000));
                           const char byte = static_cast<char>(file.get() ^ 0x10);
                           file.seekp(static_cast<std::streamoff>(fs::file_size(flac) - 2000));
                           file.put(byte);
                       },
                       "damaged or cut short"}),
    [](const ::testing::TestParamInfo<DifferenceCase>& info) { return std::string(info.param.name); });

}
}
