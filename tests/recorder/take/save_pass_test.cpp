// The save's engines: the range copy into the temporary WAV, the fade and maximise pass against a
// plain per-frame computation, and the conversions read back by ffprobe and ffmpeg.

#include "capture_test_support.h"

#include "take/save_pass.h"

#include "core/toolkit_binding.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"
#include "toolkit/audiofiles/wav_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

namespace wavelark {
namespace {

using testing::readFile;
using testing::TemporaryFolder;
using testing::writeSamples;

// The fade curve as the toolkit defines lin2log(t, 1.0, 1): cos((t × 90 + 180) × π / 180) + 1,
// and full level, exactly 1, at t = 1.
double fadeCurve(double t)
{
    return t == 1.0 ? 1.0 : std::cos((t * 90.0 + 180.0) * 0.017453292519943295) + 1.0;
}

// The pass over the samples of a range, one frame at a time, as the save describes it.
std::vector<int16_t> passByDefinition(const std::vector<int16_t>& samples, SaveRange range, const FadeSettings& fades)
{
    enum { Rising, Waiting, Falling, None } state = None;
    const bool fadeIn = fades.fadeInOn && fades.fadeInMilliseconds > 0;
    const bool fadeOut = fades.fadeOutOn && fades.fadeOutMilliseconds > 0;
    const double inFrames = fades.fadeInMilliseconds * 44.1;
    const double outFrames = fades.fadeOutMilliseconds * 44.1;
    double t = 1.0;
    if (fadeIn) {
        t = 0.0;
        state = Rising;
    } else if (fadeOut) {
        state = Waiting;
    }
    int16_t peak = 0;
    for (int16_t sample : samples)
        peak = std::max(peak, sample);
    const double gain = fades.maximiseOn && peak > 0 ? 32767.0 / peak : 1.0;
    std::vector<int16_t> result(samples.size());
    double p = range.start;
    for (std::size_t index = 0; index < samples.size(); index += 2) {
        const double g = fadeCurve(t);
        const double left = g * samples[index] * gain;
        const double right = g * samples[index + 1] * gain;
        if (state == Rising) {
            if (range.start + 4 * inFrames < p)
                state = Waiting;
            t += 1 / inFrames;
        } else if (state == Falling) {
            t -= 1 / outFrames;
            if (t < 0.0)
                t = 0.0;
        }
        result[index] = static_cast<int16_t>(std::trunc(std::clamp(left, -32766.0, 32766.0)));
        result[index + 1] = static_cast<int16_t>(std::trunc(std::clamp(right, -32766.0, 32766.0)));
        p += 4;
        if (state == Waiting && fadeOut && p > range.end - 4 * outFrames)
            state = Falling;
    }
    return result;
}

std::vector<int16_t> randomSamples(std::size_t frames, int lowest, int highest, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(lowest, highest);
    std::vector<int16_t> samples(frames * 2);
    for (int16_t& sample : samples)
        sample = static_cast<int16_t>(value(random));
    return samples;
}

std::string bytesOf(const std::vector<int16_t>& samples)
{
    return std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
}

class SaveFixture : public ::testing::Test {
protected:
    void SetUp() override { testing::ensureRecorderRuntime(); }

    // A take of `before` frames of noise, then the range's samples, then 100 frames of noise.
    SaveRange writeTake(const std::vector<int16_t>& rangeSamples, std::size_t before = 1000)
    {
        std::vector<int16_t> take = randomSamples(before, -32768, 32767, 3);
        take.insert(take.end(), rangeSamples.begin(), rangeSamples.end());
        const std::vector<int16_t> after = randomSamples(100, -32768, 32767, 4);
        take.insert(take.end(), after.begin(), after.end());
        writeSamples(takePath, take);
        return SaveRange{static_cast<uint32_t>(before * 4), static_cast<uint32_t>(before * 4 + rangeSamples.size() * 2)};
    }

    std::vector<int16_t> temporarySamples() const { return testing::wavSamples(readFile(temporaryPath)); }

    TemporaryFolder folder;
    std::string takePath = folder.file("recording.raw");
    std::string temporaryPath = folder.file("temp.wav");
};

struct FadeCase {
    const char* name;
    std::size_t frames;
    FadeSettings fades;
    int lowest;
    int highest;
};

class FadeAndMaximisePass : public SaveFixture, public ::testing::WithParamInterface<FadeCase> {};

TEST_P(FadeAndMaximisePass, EqualsThePerFrameComputation)
{
    const FadeCase& row = GetParam();
    const std::vector<int16_t> samples = randomSamples(row.frames, row.lowest, row.highest, 9);
    const SaveRange range = writeTake(samples);
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, {}).ok());
    const FadePassResult pass = fadeAndMaximise(temporaryPath, range, row.fades, {}, {});
    ASSERT_TRUE(pass.result.ok()) << pass.result.message;
    EXPECT_TRUE(pass.applied);
    EXPECT_EQ(temporarySamples(), passByDefinition(samples, range, row.fades));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FadeAndMaximisePass,
    ::testing::Values(
        // Across several 64 KiB blocks, the rise and the fall of different lengths in the middle.
        FadeCase{"BothFades", 60001, {true, 300, true, 700, true}, -20000, 16000},
        FadeCase{"FadeInLongerThanTheRange", 30000, {true, 2000, false, 0, false}, -32768, 32767},
        FadeCase{"FadeOutLongerThanTheRange", 30000, {false, 0, true, 2000, true}, -9000, 9000},
        FadeCase{"FadeOutOnly", 50003, {false, 0, true, 250, false}, -32768, 32767},
        FadeCase{"ZeroLengthFadesAreNoFades", 20000, {true, 0, true, 0, true}, -12000, 12000},
        FadeCase{"NoFadesNoMaximise", 40000, {false, 0, false, 0, false}, -32768, 32767},
        FadeCase{"SilentRangeKeepsUnitGain", 20000, {true, 100, true, 100, true}, 0, 0},
        FadeCase{"NoPositiveSampleKeepsUnitGain", 20000, {false, 0, false, 0, true}, -30000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveFixture, FullScaleSamplesAreClampedAtUnitGain)
{
    const std::vector<int16_t> samples = {32767, -32768, 32767, -32767, 0, 5, -5, 0};
    const SaveRange range = writeTake(samples);
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, {}).ok());
    ASSERT_TRUE(fadeAndMaximise(temporaryPath, range, {}, {}, {}).result.ok());
    // Full level is exactly 1: only the clamp changes anything.
    EXPECT_EQ(temporarySamples(), (std::vector<int16_t>{32766, -32766, 32766, -32766, 0, 5, -5, 0}));
}

TEST_F(SaveFixture, MaximiseScalesByTheRangesPeak)
{
    std::vector<int16_t> samples = randomSamples(5000, -16000, 16000, 5);
    samples[2001] = 16383;
    const SaveRange range = writeTake(samples);
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, {}).ok());
    FadeSettings fades;
    fades.maximiseOn = true;
    const FadePassResult pass = fadeAndMaximise(temporaryPath, range, fades, {}, {});
    EXPECT_EQ(pass.peak, 16383);
    EXPECT_EQ(pass.gain, 32767.0 / 16383.0);
    const std::vector<int16_t> result = temporarySamples();
    EXPECT_EQ(result[2001], 32766);
    EXPECT_EQ(result, passByDefinition(samples, range, fades));
}

TEST_F(SaveFixture, FileInAnotherFormatIsLeftForTheConversion)
{
    std::string floatFormat = testing::pcmFormatBody(44100, 16, 2);
    floatFormat[0] = 3;
    const std::string samples = bytesOf(randomSamples(1000, -100, 100, 1));
    for (const std::string& bytes : {testing::simpleWav(samples, 22050),
                                     testing::riffWave({{"fmt ", floatFormat}, {"data", samples}})}) {
        testing::writeFile(temporaryPath, bytes);
        const FadePassResult pass = fadeAndMaximise(temporaryPath, {0, 4000}, {true, 10, true, 10, true}, {}, {});
        EXPECT_TRUE(pass.result.ok());
        EXPECT_FALSE(pass.applied);
        EXPECT_FALSE(pass.skipReason.empty());
        EXPECT_EQ(readFile(temporaryPath), bytes);
    }
}

class RangeCopy : public SaveFixture, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(RangeCopy, TemporaryFileIsTheCanonicalWavOfTheRange)
{
    const std::vector<int16_t> samples = randomSamples(GetParam() / 4, -32768, 32767, 6);
    const SaveRange range = writeTake(samples, 777);
    std::vector<int> reports;
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, [&](int percent) { reports.push_back(percent); }).ok());
    EXPECT_EQ(readFile(temporaryPath), testing::simpleWav(bytesOf(samples)));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RangeCopy, ::testing::Values(2 * 1048576, 12, 1048576 + 4));

TEST_F(SaveFixture, CopyFailuresAreReported)
{
    const SaveRange range = writeTake(randomSamples(100, -5, 5, 1));
    EXPECT_EQ(copyRangeToTemporaryWav(takePath, {range.start, range.end + 4 * 101}, temporaryPath, {}).failure,
              SaveFailure::InvalidRange);
    EXPECT_EQ(copyRangeToTemporaryWav(takePath, {8, 8}, temporaryPath, {}).failure, SaveFailure::InvalidRange);
    EXPECT_EQ(copyRangeToTemporaryWav(folder.file("none.raw"), range, temporaryPath, {}).failure,
              SaveFailure::TakeUnreadable);
    const SaveResult unwritable = copyRangeToTemporaryWav(takePath, range, folder.file("missing/temp.wav"), {});
    EXPECT_EQ(unwritable.failure, SaveFailure::TemporaryFile);
    EXPECT_NE(unwritable.message.find("No such file"), std::string::npos) << unwritable.message;
}

struct ConversionCase {
    SaveFormat format;
    SaveQuality quality;
    const char* codec;
    const char* sampleRate;
    const char* bits;  // bits_per_sample as ffprobe reports it
    std::size_t frameSamples;
};

std::string conversionName(const ::testing::TestParamInfo<ConversionCase>& info)
{
    const char* formats[] = {"Mp3", "Wma", "Wav"};
    const char* qualities[] = {"High", "Medium", "Low"};
    return std::string(formats[static_cast<int>(info.param.format)]) + qualities[static_cast<int>(info.param.quality)];
}

class Conversion : public SaveFixture, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(Conversion, WrittenFileHoldsTheRangeInTheChosenFormat)
{
    const ConversionCase& row = GetParam();
    const std::string tone = testing::sineSamples(44100, 2, 1.5, 440.0, 0.5);
    const std::vector<int16_t> samples = testing::samplesOf(tone);
    const SaveRange range = writeTake(samples);
    const std::string destination = folder.file(std::string("take") + saveExtension(row.format));
    SaveJob job{takePath, temporaryPath, destination, range, {}, row.format, row.quality};
    std::vector<SavePhase> phases;
    testing::ProgressRecorder::reset();
    const SaveResult result =
        saveRange(job, [&](SavePhase phase, int) { phases.push_back(phase); }, testing::ProgressRecorder::record);
    ASSERT_TRUE(result.ok()) << result.message;
    ASSERT_FALSE(phases.empty());
    EXPECT_EQ(phases.back(), SavePhase::Converting);
    EXPECT_EQ(std::count(phases.begin(), phases.end(), SavePhase::Converting), 1);
    EXPECT_FALSE(testing::ProgressRecorder::values.empty());
    EXPECT_FALSE(std::filesystem::exists(destination + ".part"));
    EXPECT_TRUE(std::filesystem::exists(temporaryPath));

    EXPECT_EQ(testing::probeEntry(destination, "stream", "codec_name"), row.codec);
    EXPECT_EQ(testing::probeEntry(destination, "stream", "sample_rate"), row.sampleRate);
    EXPECT_EQ(testing::probeEntry(destination, "stream", "channels"), "2");
    EXPECT_EQ(testing::probeEntry(destination, "stream", "bits_per_sample"), row.bits);
    const double rate = std::stod(row.sampleRate);
    const double frames = samples.size() / 2 * rate / 44100;
    if (row.format == SaveFormat::Wav) {
        EXPECT_NEAR(std::stod(testing::probeEntry(destination, "format", "duration")) * rate, frames, 1.0);
    } else {
        // ffmpeg's decoder drops the codec's delay and padding: what is left is the audio.
        const std::vector<int16_t> decoded = testing::decodeWithFfmpeg(destination);
        EXPECT_NEAR(decoded.size() / 2.0, frames, row.frameSamples);
        EXPECT_NEAR(testing::toneFrequency(decoded, 2, 0, 44100), 440.0, 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Conversion,
    ::testing::Values(ConversionCase{SaveFormat::Mp3, SaveQuality::High, "mp3", "44100", "0", 1152},
                      ConversionCase{SaveFormat::Mp3, SaveQuality::Low, "mp3", "44100", "0", 1152},
                      ConversionCase{SaveFormat::Wma, SaveQuality::Low, "wmav2", "44100", "0", 2048},
                      ConversionCase{SaveFormat::Wav, SaveQuality::High, "pcm_s16le", "44100", "16", 1},
                      ConversionCase{SaveFormat::Wav, SaveQuality::Medium, "pcm_s16le", "22050", "16", 1},
                      ConversionCase{SaveFormat::Wav, SaveQuality::Low, "pcm_u8", "11025", "8", 1}),
    conversionName);

class FailedConversion : public SaveFixture, public ::testing::WithParamInterface<SaveFormat> {};

TEST_P(FailedConversion, IsReportedAndLeavesNoFile)
{
    const SaveRange range = writeTake(testing::samplesOf(testing::sineSamples(44100, 2, 0.5, 440.0, 0.5)));
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, {}).ok());
    const std::string unwritable = folder.file(std::string("missing/take") + saveExtension(GetParam()));
    const SaveResult result =
        convertTemporaryWav(temporaryPath, unwritable, GetParam(), SaveQuality::High, range.bytes(), nullptr);
    EXPECT_EQ(result.failure, SaveFailure::Conversion);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing"));

    // A conversion that fails keeps an earlier file of the destination's name.
    const std::string earlier = folder.file(std::string("earlier") + saveExtension(GetParam()));
    testing::writeFile(earlier, "earlier save");
    EXPECT_FALSE(
        convertTemporaryWav(folder.file("no-temp.wav"), earlier, GetParam(), SaveQuality::High, range.bytes(), nullptr).ok());
    EXPECT_EQ(readFile(earlier), "earlier save");
    EXPECT_FALSE(std::filesystem::exists(earlier + ".part"));
}

INSTANTIATE_TEST_SUITE_P(Formats, FailedConversion, ::testing::Values(SaveFormat::Mp3, SaveFormat::Wma, SaveFormat::Wav));

TEST_F(SaveFixture, ConvertedFileOfTheWrongLengthIsNotKept)
{
    // The temporary file holds half a second, the range claims a second.
    const SaveRange range = writeTake(testing::samplesOf(testing::sineSamples(44100, 2, 0.5, 440.0, 0.5)));
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, {}).ok());
    const std::string destination = folder.file("take.mp3");
    const SaveResult result =
        convertTemporaryWav(temporaryPath, destination, SaveFormat::Mp3, SaveQuality::High, range.bytes() * 2, nullptr);
    EXPECT_EQ(result.failure, SaveFailure::Verification);
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_FALSE(std::filesystem::exists(destination + ".part"));
}

}
}

namespace wavelark {
namespace {

// The phases in their order, each rising to 100, and the conversion announced once with 0 before
// the converter; the scan reads the range also with the maximise off.
TEST_F(SaveFixture, EveryPhaseIsReportedInOrderAlsoWithoutTheMaximise)
{
    const std::vector<int16_t> samples = randomSamples(40000, -1000, 1000, 2); // 2.4 blocks of the passes
    const SaveRange range = writeTake(samples);
    const SaveJob job{takePath, temporaryPath, folder.file("take.wav"), range, {true, 100, true, 100, false},
                      SaveFormat::Wav, SaveQuality::High};
    std::vector<SavePhase> order;
    std::map<SavePhase, std::vector<int>> reports;
    const SaveResult result = saveRange(
        job,
        [&](SavePhase phase, int percent) {
            order.push_back(phase);
            reports[phase].push_back(percent);
        },
        nullptr);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    for (const SavePhase phase : {SavePhase::Preparing, SavePhase::Scanning, SavePhase::Processing}) {
        ASSERT_FALSE(reports[phase].empty()) << static_cast<int>(phase);
        EXPECT_TRUE(std::is_sorted(reports[phase].begin(), reports[phase].end()));
        EXPECT_EQ(reports[phase].back(), 100);
    }
    EXPECT_EQ(reports[SavePhase::Converting], std::vector<int>{0});
}

// trunc(percent(done, whole)) as the toolkit computes it, after each of blocks blocks.
std::vector<int> toolkitPercents(int blocks)
{
    std::vector<int> percents;
    for (int block = 1; block <= blocks; ++block)
        percents.push_back(static_cast<int>(g_toolkit.percent(block, blocks)));
    return percents;
}

// The progress numbers are the toolkit's percent truncated, which is not 100 × done / whole
// truncated: 11 blocks of 25 are 43 % (43.99999999999999), not 44.
TEST_F(SaveFixture, ProgressIsTheToolkitsPercentTruncated)
{
    const std::vector<int> expected = toolkitPercents(25);
    ASSERT_NE(std::find(expected.begin(), expected.end(), 43), expected.end());
    ASSERT_EQ(std::find(expected.begin(), expected.end(), 44), expected.end());

    // The copy's 1 MiB blocks, from a take of 25 MiB of silence.
    testing::writeFile(takePath, "");
    std::filesystem::resize_file(takePath, 25 * kCopyBlockSize);
    std::vector<int> copied;
    const SaveRange whole{0, static_cast<uint32_t>(25 * kCopyBlockSize)};
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, whole, temporaryPath, [&](int percent) { copied.push_back(percent); }).ok());
    EXPECT_EQ(copied, expected);

    // The passes' 64 KiB blocks.
    const SaveRange range = writeTake(randomSamples(25 * kPcmBlockSize / 4, -30000, 30000, 8));
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, {}).ok());
    std::vector<int> scanned;
    std::vector<int> processed;
    ASSERT_TRUE(fadeAndMaximise(temporaryPath, range, {}, [&](int percent) { scanned.push_back(percent); },
                                [&](int percent) { processed.push_back(percent); })
                    .result.ok());
    EXPECT_EQ(scanned, expected);
    EXPECT_EQ(processed, expected);
}

// A name as long as the folder's file names can be is saved: its side file fits.
TEST_F(SaveFixture, ANameAtTheFileNameLimitIsSaved)
{
    const SaveRange range = writeTake(testing::samplesOf(testing::sineSamples(44100, 2, 0.5, 440.0, 0.5)));
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, {}).ok());
    const std::string destination = folder.file(std::string(longestFileName(folder.path().string()) - 4, 'n') + ".mp3");
    const SaveResult result =
        convertTemporaryWav(temporaryPath, destination, SaveFormat::Mp3, SaveQuality::High, range.bytes(), nullptr);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_TRUE(std::filesystem::exists(destination));
    EXPECT_FALSE(std::filesystem::exists(sidePathOf(destination)));
}

// Each failed conversion names the system's reason for it.
TEST_F(SaveFixture, FailedConversionsGiveTheSystemsReason)
{
    const SaveRange range = writeTake(testing::samplesOf(testing::sineSamples(44100, 2, 0.5, 440.0, 0.5)));
    ASSERT_TRUE(copyRangeToTemporaryWav(takePath, range, temporaryPath, {}).ok());
    const std::string tooLong = std::string(longestFileName(folder.path().string()) - 3, 'n');
    const struct {
        std::string source;
        std::string destination;
        SaveFormat format;
        int reason;
    } rows[] = {
        {temporaryPath, folder.file("missing/take.mp3"), SaveFormat::Mp3, ENOENT},
        {temporaryPath, folder.file("missing/take.wma"), SaveFormat::Wma, ENOENT},
        {temporaryPath, folder.file(tooLong + ".wav"), SaveFormat::Wav, ENAMETOOLONG},
        {folder.file("no-temp.wav"), folder.file("take.wav"), SaveFormat::Wav, ENOENT},
    };
    for (const auto& row : rows) {
        const SaveResult result =
            convertTemporaryWav(row.source, row.destination, row.format, SaveQuality::High, range.bytes(), nullptr);
        EXPECT_EQ(result.failure, SaveFailure::Conversion) << row.destination;
        EXPECT_NE(result.message.find(std::strerror(row.reason)), std::string::npos) << result.message;
        std::error_code unreachable;
        EXPECT_FALSE(std::filesystem::exists(row.destination, unreachable));
    }
}

}
}
