// Importing audio files of every rate, word length, channel count and format the recorder takes:
// each is written by sox or ffmpeg, imported, and measured against the tone it holds (its length,
// frequency and level, and for lossless sources the absence of aliases); the files that cannot be
// imported are refused before anything is written.

#include "capture_test_support.h"

#include "take/import_examination.h"
#include "take/take_import.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <vector>

namespace wavelark {
namespace {

using testing::readFile;
using testing::TemporaryFolder;
using testing::writeFile;

constexpr double kSeconds = 1.2;
constexpr std::size_t kAnalysedFrames = 32768;
constexpr double kPi = 3.14159265358979323846;

// One channel's spectrum over kAnalysedFrames frames from `first`, under a Blackman-Nuttall window
// (side lobes below -98 dB); magnitudes scaled so that a sine of amplitude A reads A.
std::vector<double> spectrum(const std::vector<int16_t>& samples, std::size_t first, int channel)
{
    std::vector<std::complex<double>> values(kAnalysedFrames);
    double windowSum = 0.0;
    for (std::size_t index = 0; index < kAnalysedFrames; ++index) {
        const double x = 2.0 * kPi * index / (kAnalysedFrames - 1);
        const double window = 0.3635819 - 0.4891775 * std::cos(x) + 0.1365995 * std::cos(2 * x) - 0.0106411 * std::cos(3 * x);
        windowSum += window;
        values[index] = window * samples[2 * (first + index) + channel] / 32768.0;
    }
    // Iterative radix-2 transform.
    for (std::size_t i = 1, j = 0; i < kAnalysedFrames; ++i) {
        std::size_t bit = kAnalysedFrames >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(values[i], values[j]);
    }
    for (std::size_t length = 2; length <= kAnalysedFrames; length <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * kPi / length);
        for (std::size_t start = 0; start < kAnalysedFrames; start += length) {
            std::complex<double> turn = 1.0;
            for (std::size_t k = 0; k < length / 2; ++k, turn *= step) {
                const std::complex<double> even = values[start + k];
                const std::complex<double> odd = values[start + k + length / 2] * turn;
                values[start + k] = even + odd;
                values[start + k + length / 2] = even - odd;
            }
        }
    }
    std::vector<double> magnitudes(kAnalysedFrames / 2);
    for (std::size_t bin = 0; bin < magnitudes.size(); ++bin)
        magnitudes[bin] = 2.0 * std::abs(values[bin]) / windowSum;
    return magnitudes;
}

struct ToneMeasure {
    double frequency = 0.0;  // of the strongest bin, refined by the neighbours' centre of mass
    double level = 0.0;      // amplitude, full scale 1
    double worstOtherDb = 0.0;  // strongest component away from the tone and DC, dB below the tone
};

ToneMeasure measureTone(const std::vector<int16_t>& samples, std::size_t first, int channel)
{
    const std::vector<double> magnitudes = spectrum(samples, first, channel);
    std::size_t peak = 1;
    for (std::size_t bin = 1; bin < magnitudes.size(); ++bin)
        if (magnitudes[bin] > magnitudes[peak])
            peak = bin;
    double weighted = 0.0;
    double total = 0.0;
    for (std::size_t bin = peak - 3; bin <= peak + 3; ++bin) {
        weighted += bin * magnitudes[bin];
        total += magnitudes[bin];
    }
    ToneMeasure measure;
    measure.frequency = weighted / total * 44100.0 / kAnalysedFrames;
    measure.level = magnitudes[peak];
    double worst = 0.0;
    for (std::size_t bin = 8; bin < magnitudes.size(); ++bin)
        if (bin + 8 < peak || bin > peak + 8)
            worst = std::max(worst, magnitudes[bin]);
    measure.worstOtherDb = 20.0 * std::log10(std::max(worst, 1e-12) / magnitudes[peak]);
    return measure;
}

struct ImportRow {
    const char* name;
    const char* source;   // sox arguments between "sox -n" and the file: rate, bits, channels
    const char* effects;  // after "synth 1.2 sine 1000 vol 0.5"
    const char* encoder;  // ffmpeg or other command with IN and OUT, or "" for the sox file itself
    const char* extension;
    int sourceRate;
    double level;        // the tone's expected amplitude in both channels before the maximise
    bool lossless;       // checked for aliases too
    double frameTolerance;
    double aliasFloorDb = -90.0;
};

class ImportFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::ensureRecorderRuntime();
        writeFile(takePath, "old take");
    }

    TemporaryFolder folder;
    std::string takePath = folder.file("recording.raw");
};

class AudioFileImport : public ImportFixture, public ::testing::WithParamInterface<ImportRow> {};

TEST_P(AudioFileImport, ComesInAtTheTakeRateWithItsLengthToneAndLevel)
{
    const ImportRow& row = GetParam();
    const bool encoded = row.encoder[0] != '\0';
    const std::string generated = folder.file(std::string("generated") + (encoded ? ".wav" : row.extension));
    const std::string sox = std::string("sox -n ") + row.source + " " + testing::shellQuoted(generated)
                            + " synth 1.2 sine 1000 vol 0.5 " + row.effects;
    ASSERT_TRUE(testing::runCommand(sox).succeeded) << sox;
    std::string path = generated;
    if (encoded) {
        path = folder.file(std::string("encoded") + row.extension);
        const std::string command = testing::commandWithPaths(row.encoder, generated, path);
        ASSERT_TRUE(testing::runCommand(command).succeeded) << command;
    }

    EXPECT_EQ(examineImport(path).way, ImportWay::Convert);
    const ImportResult result = importIntoTake(path, takePath, {}, nullptr);
    ASSERT_TRUE(result.ok()) << result.message;
    const std::string take = readFile(takePath);
    ASSERT_EQ(take.size() % 4, 0u);
    const std::vector<int16_t> samples = testing::samplesOf(take.substr(44));
    EXPECT_NEAR(samples.size() / 2.0, kSeconds * 44100.0, row.frameTolerance);

    for (int channel = 0; channel < 2; ++channel) {
        const ToneMeasure tone = measureTone(samples, 8000, channel);
        EXPECT_NEAR(tone.frequency, 1000.0, 1.0) << "channel " << channel;
        EXPECT_NEAR(tone.level, row.level, row.lossless ? 0.01 : 0.04) << "channel " << channel;
        if (row.lossless) {
            EXPECT_LT(tone.worstOtherDb, row.aliasFloorDb) << "channel " << channel;
        }
    }
}

// Centre alone to both sides at -3 dB, then the 5.1 normalisation (1 + 2 x 0.7071).
constexpr double kCentreAlone = 0.5 * 0.70710678 / (1.0 + 2.0 * 0.70710678);

INSTANTIATE_TEST_SUITE_P(
    Formats, AudioFileImport,
    ::testing::Values(
        ImportRow{"Wav8kMono16", "-r 8000 -b 16 -c 1", "", "", ".wav", 8000, 0.5, true, 1.2},
        // Doubling the rate leaves the tone's image at 21050 Hz, in the converter filter's
        // transition band just below 22050 Hz: the best filter takes it down by 86 dB only.
        ImportRow{"Wav22kStereo24", "-r 22050 -b 24 -c 2", "", "", ".wav", 22050, 0.5, true, 1.2, -85.0},
        ImportRow{"Wav32kStereo32", "-r 32000 -b 32 -e signed-integer -c 2", "", "", ".wav", 32000, 0.5, true, 1.2},
        ImportRow{"Wav44kStereo24", "-r 44100 -b 24 -c 2", "", "", ".wav", 44100, 0.5, true, 0},
        ImportRow{"Wav44kMono8", "-r 44100 -b 8 -c 1", "", "", ".WAV", 44100, 0.5, false, 0},
        ImportRow{"Wav48kStereo16", "-r 48000 -b 16 -c 2", "", "", ".wav", 48000, 0.5, true, 1.2},
        ImportRow{"Wav88kFloat32", "-r 88200 -e floating-point -b 32 -c 2", "", "", ".wav", 88200, 0.5, true, 1.2},
        ImportRow{"Wav96kFloat64", "-r 96000 -e floating-point -b 64 -c 1", "", "", ".wav", 96000, 0.5, true, 1.2},
        ImportRow{"Wav192kStereo24", "-r 192000 -b 24 -c 2", "", "", ".wav", 192000, 0.5, true, 1.2},
        ImportRow{"Wav48kSurroundAllChannels", "-r 48000 -b 16", "remix 1 1 1 1 1 1", "", ".wav", 48000, 0.5, true, 1.2},
        ImportRow{"Wav48kSurroundCentreOnly", "-r 48000 -b 24", "remix 0 0 1 0 0 0", "", ".wav", 48000, kCentreAlone, true,
                  1.2},
        // ffmpeg writes WAVE_FORMAT_EXTENSIBLE for more than two channels and for 32-bit samples.
        ImportRow{"FfmpegExtensibleSurround32Bit", "-r 96000 -b 16", "remix 1 1 1 1 1 1",
                  "ffmpeg -v error -y -i IN -c:a pcm_s32le OUT", ".wav", 96000, 0.5, true, 1.2},
        ImportRow{"FfmpegExtensibleFloatStereo", "-r 32000 -b 16 -c 2", "",
                  "ffmpeg -v error -y -i IN -c:a pcm_f32le OUT", ".wav", 32000, 0.5, true, 1.2},
        ImportRow{"Flac96k24", "-r 96000 -b 24 -c 2", "", "", ".flac", 96000, 0.5, true, 1.2},
        ImportRow{"OggVorbis48k", "-r 48000 -b 16 -c 2", "", "ffmpeg -v error -y -i IN -c:a libvorbis -q:a 6 OUT", ".ogg",
                  48000, 0.5, false, 1.2},
        ImportRow{"Opus", "-r 48000 -b 16 -c 2", "", "ffmpeg -v error -y -i IN -c:a libopus -b:a 128k OUT", ".opus", 48000,
                  0.5, false, 1.2},
        ImportRow{"Mp3At32k", "-r 32000 -b 16 -c 2", "", "ffmpeg -v error -y -i IN -c:a libmp3lame -b:a 160k OUT", ".mp3",
                  32000, 0.5, false, 1.2},
        ImportRow{"M4a48k", "-r 48000 -b 16 -c 2", "", "ffmpeg -v error -y -i IN -c:a aac -b:a 192k OUT", ".m4a", 48000, 0.5,
                  false, 1.2},
        // ffmpeg's own WMA encoder loses its first frame of 2048 samples to the priming.
        ImportRow{"Wma", "-r 44100 -b 16 -c 2", "", "ffmpeg -v error -y -i IN -c:a wmav2 -b:a 128k OUT", ".wma", 44100, 0.5,
                  false, 2048 + 2048}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedRow {
    const char* name;
    const char* fileName;
    const char* maker;   // shell command writing OUT; "fifo" for a named pipe
    const char* reason;  // words the message must hold besides the file's name
};

class RefusedFile : public ImportFixture, public ::testing::WithParamInterface<RefusedRow> {};

TEST_P(RefusedFile, IsRefusedByNameBeforeAnythingIsWrittenAndTheTakeIsKept)
{
    const RefusedRow& row = GetParam();
    const std::string path = folder.file(row.fileName);
    if (std::string(row.maker) == "fifo")
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    else
        ASSERT_TRUE(testing::runCommand(testing::commandWithPaths(row.maker, "", path)).succeeded) << row.maker;
    const std::string oldTake = readFile(takePath);

    ImportExamination examination;
    ImportResult result;
    testing::runWithoutHanging([&] {
        examination = examineImport(path);
        result = importIntoTake(path, takePath, {}, nullptr);
    }, path);
    EXPECT_EQ(examination.way, ImportWay::Refused);
    EXPECT_NE(examination.message.find(path), std::string::npos) << examination.message;
    EXPECT_NE(examination.message.find(row.reason), std::string::npos) << examination.message;
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.message.find(row.reason), std::string::npos) << result.message;
    EXPECT_EQ(readFile(takePath), oldTake);
    EXPECT_FALSE(std::filesystem::exists(importSidePath(takePath)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedFile,
    ::testing::Values(
        RefusedRow{"MatroskaVideo", "clip.mkv",
                   "ffmpeg -v error -y -f lavfi -i testsrc=duration=1:size=64x48:rate=10 -f lavfi -i "
                   "sine=duration=1 -c:v mpeg4 -c:a flac -shortest OUT",
                   "is a Matroska video; Wavelark imports audio files: WAV, FLAC"},
        RefusedRow{"TextNamedFlac", "notes.flac", "printf 'These are the liner notes, not a recording.\\n' > OUT",
                   "is not an audio file"},
        RefusedRow{"NamedPipe", "pipe.flac", "fifo", "not a regular file"},
        RefusedRow{"TruncatedFlac", "cut.flac",
                   "sox -n -r 44100 -b 16 -c 2 OUT.whole.flac synth 20 sine 1000 && head -c 400000 OUT.whole.flac > OUT",
                   "cut off"},
        RefusedRow{"AviOutsideTheAudioContainers", "clip.avi",
                   "ffmpeg -v error -y -f lavfi -i testsrc=duration=1:size=64x48:rate=10 -c:v mpeg4 OUT",
                   "is in the AVI format, not an audio file"},
        RefusedRow{"RateBelowEightKilohertz", "low.wav", "sox -n -r 4000 -b 16 -c 1 OUT synth 0.5 sine 500",
                   "has a sample rate of 4000 Hz"},
        RefusedRow{"OggWithoutAudio", "picture.ogg",
                   "ffmpeg -v error -y -f lavfi -i testsrc=duration=1:size=64x48:rate=10 -c:v libtheora OUT", "video"},
        // Longer than a take can hold (sparse files: nothing is written to the disk). A WAV of the
        // take's format past 4 GiB, which would be copied; and one whose header states 27 hours of
        // 22050 Hz 16-bit mono, refused by its stated length before any conversion.
        RefusedRow{"TakeFormatWavPastTheTakeLimit", "long.wav",
                   "sox -n -r 44100 -b 16 -c 2 OUT trim 0 0.1 && truncate -s 4400000000 OUT", "too long to import"},
        RefusedRow{"WavStatingTwentySevenHours", "night.wav",
                   "sox -n -r 22050 -b 16 -c 1 OUT trim 0 0.1 && truncate -s 4294967284 OUT && "
                   "printf '\\354\\377\\377\\377' | dd bs=1 seek=4 conv=notrunc status=none 1<> OUT && "
                   "printf '\\310\\377\\377\\377' | dd bs=1 seek=40 conv=notrunc status=none 1<> OUT",
                   "too long to import"}),
    [](const auto& info) { return std::string(info.param.name); });

}
}
