#include "take/save_pass.h"

#include "take/raw_take_maximise.h"

#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define WAVELARK_FADE_AVX2 1
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace wavelark {

namespace {

constexpr uint32_t kWavHeaderBytes = 44;
constexpr uint64_t kLargestWavLength = uint64_t{std::numeric_limits<uint32_t>::max()} + 8;

std::string systemReason()
{
    return std::strerror(errno);
}

SaveResult failure(SaveFailure kind, std::string message)
{
    return SaveResult{kind, std::move(message)};
}

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

void putLittleEndian32(uint8_t* bytes, uint32_t value)
{
    for (int index = 0; index < 4; ++index)
        bytes[index] = static_cast<uint8_t>(value >> (8 * index));
}

uint32_t littleEndian32(const uint8_t* bytes)
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t littleEndian16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

bool writeAt(int descriptor, const uint8_t* bytes, std::size_t count, off_t offset)
{
    ssize_t written;
    do
        written = ::pwrite(descriptor, bytes, count, offset);
    while (written < 0 && errno == EINTR);
    if (written >= 0 && static_cast<std::size_t>(written) != count)
        errno = ENOSPC;
    return written >= 0 && static_cast<std::size_t>(written) == count;
}

bool readAt(int descriptor, uint8_t* bytes, std::size_t count, off_t offset)
{
    ssize_t got;
    do
        got = ::pread(descriptor, bytes, count, offset);
    while (got < 0 && errno == EINTR);
    return got >= 0 && static_cast<std::size_t>(got) == count;
}

// A fade or maximised sample as stored: held to -32766..32766 and truncated toward zero.
inline int16_t storedSample(double value)
{
    if (value > kLargestMaximisedSample)
        value = kLargestMaximisedSample;
    else if (value < -kLargestMaximisedSample)
        value = -kLargestMaximisedSample;
    return static_cast<int16_t>(value);
}

void scaleSamplesPlainly(int16_t* samples, std::size_t count, double fadeGain, double maximiseGain)
{
    for (std::size_t index = 0; index < count; ++index)
        samples[index] = storedSample(fadeGain * samples[index] * maximiseGain);
}

#if defined(WAVELARK_FADE_AVX2)
// Four samples with the plain loop's double arithmetic: an exact int-to-double widening, the two
// multiplies in the same order, the clamp as min/max (no NaN can occur) and the truncating
// conversion.
__attribute__((target("avx2"))) inline __m128i scaleFour(__m128i four, __m256d fade, __m256d maximise)
{
    const __m256d largest = _mm256_set1_pd(kLargestMaximisedSample);
    const __m256d smallest = _mm256_set1_pd(-kLargestMaximisedSample);
    __m256d value = _mm256_mul_pd(_mm256_mul_pd(fade, _mm256_cvtepi32_pd(four)), maximise);
    value = _mm256_max_pd(_mm256_min_pd(value, largest), smallest);
    return _mm256_cvttpd_epi32(value);
}

// Sixteen samples at a time. The clamped values fit 16 bits, so the final pack never saturates.
__attribute__((target("avx2"))) void scaleSamplesAvx2(int16_t* samples, std::size_t count, double fadeGain,
                                                      double maximiseGain)
{
    const __m256d fade = _mm256_set1_pd(fadeGain);
    const __m256d maximise = _mm256_set1_pd(maximiseGain);
    std::size_t index = 0;
    for (; index + 16 <= count; index += 16) {
        const __m256i packed = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + index));
        const __m256i low = _mm256_cvtepi16_epi32(_mm256_castsi256_si128(packed));
        const __m256i high = _mm256_cvtepi16_epi32(_mm256_extracti128_si256(packed, 1));
        const __m128i lowPacked = _mm_packs_epi32(scaleFour(_mm256_castsi256_si128(low), fade, maximise),
                                                  scaleFour(_mm256_extracti128_si256(low, 1), fade, maximise));
        const __m128i highPacked = _mm_packs_epi32(scaleFour(_mm256_castsi256_si128(high), fade, maximise),
                                                   scaleFour(_mm256_extracti128_si256(high, 1), fade, maximise));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + index), _mm256_set_m128i(highPacked, lowPacked));
    }
    scaleSamplesPlainly(samples + index, count - index, fadeGain, maximiseGain);
}
#endif

// The fade state machine over the frames of the temporary file, block after block. Frames on a
// ramp go one at a time through the toolkit's curve; runs whose fade parameter stands still
// (waiting for the fall, or no fade) are scaled in bulk with the gain of that parameter.
class FadeRewriter {
public:
    FadeRewriter(SaveRange range, const FadeSettings& fades, double maximiseGain)
        : m_maximiseGain(maximiseGain)
        , m_position(range.start)
    {
        const bool fadeIn = fades.fadeInOn && fades.fadeInMilliseconds > 0;
        m_fadeOut = fades.fadeOutOn && fades.fadeOutMilliseconds > 0;
        // Milliseconds times frames per millisecond, in floating point.
        const double fadeInFrames = fades.fadeInMilliseconds * 44.1;
        const double fadeOutFrames = fades.fadeOutMilliseconds * 44.1;
        m_riseEnd = static_cast<double>(range.start) + 4 * fadeInFrames;
        m_fallStart = static_cast<double>(range.end) - 4 * fadeOutFrames;
        m_fallStep = 1 / fadeOutFrames;
        if (fadeIn) {
            m_parameter = 0.0;
            m_phase = Phase::Rising;
            m_riseStep = 1 / fadeInFrames;
        } else {
            m_parameter = 1.0;
            m_phase = m_fadeOut ? Phase::Waiting : Phase::None;
        }
    }

    void operator()(int16_t* samples, std::size_t count)
    {
        const std::size_t frames = count / 2;
        std::size_t frame = 0;
        while (frame < frames) {
            if (m_phase == Phase::Rising || m_phase == Phase::Falling) {
                fadeFrame(samples + 2 * frame);
                ++frame;
                continue;
            }
            const std::size_t run = std::min(frames - frame, steadyFrames());
            scaleFadedSamples(samples + 2 * frame, 2 * run, fadeGain(), m_maximiseGain);
            frame += run;
            m_position += 4 * run;
            startFallingWhenDue();
        }
    }

private:
    enum class Phase { Rising, Waiting, Falling, None };

    // g = lin2log(t, 1.0, 1), 1 - cos(90° × t); the last one is kept for the frames that follow
    // while t stands still. At t = 1 (no fade-in, and the first frame of a fall) the curve is full
    // level: the toolkit's cosine leaves it at 0.9999999999999998 there, which would take one step
    // off every sample of a save without fades, so full level is exactly 1. A rise that overshoots
    // 1 keeps the toolkit's value, as the rest of the take is scaled by the t it ended on.
    double fadeGain()
    {
        if (!m_gainKnown || m_gainParameter != m_parameter) {
            m_gain = m_parameter == 1.0 ? 1.0 : g_toolkit.lin2log(m_parameter, 1.0, 1);
            m_gainParameter = m_parameter;
            m_gainKnown = true;
        }
        return m_gain;
    }

    void fadeFrame(int16_t* frame)
    {
        // The gain comes from t before this frame's update.
        const double gain = fadeGain();
        const double left = gain * frame[0] * m_maximiseGain;
        const double right = gain * frame[1] * m_maximiseGain;
        if (m_phase == Phase::Rising) {
            if (m_riseEnd < static_cast<double>(m_position))
                m_phase = Phase::Waiting;
            m_parameter += m_riseStep;
        } else if (m_phase == Phase::Falling) {
            m_parameter -= m_fallStep;
            if (m_parameter < 0.0)
                m_parameter = 0.0;
        }
        frame[0] = storedSample(left);
        frame[1] = storedSample(right);
        m_position += 4;
        startFallingWhenDue();
    }

    void startFallingWhenDue()
    {
        if (m_phase == Phase::Waiting && m_fadeOut && static_cast<double>(m_position) > m_fallStart)
            m_phase = Phase::Falling;
    }

    // How many frames from here on keep the present steady phase: all of them without a fade-out
    // to wait for, else up to and including the frame after which the position passes the start
    // of the fall.
    std::size_t steadyFrames() const
    {
        if (m_phase == Phase::None || !m_fadeOut)
            return std::numeric_limits<std::size_t>::max();
        auto passes = [&](uint64_t frames) { return static_cast<double>(m_position + 4 * frames) > m_fallStart; };
        uint64_t frames = 1;
        if (!passes(1)) {
            // An estimate from the distance, then moved onto the exact comparison.
            frames = static_cast<uint64_t>(std::max(1.0, std::floor((m_fallStart - m_position) / 4)));
            while (frames > 1 && passes(frames - 1))
                --frames;
            while (!passes(frames))
                ++frames;
        }
        return static_cast<std::size_t>(std::min<uint64_t>(frames, std::numeric_limits<std::size_t>::max()));
    }

    double m_maximiseGain;
    uint64_t m_position;  // p: the byte offset in the take of the next frame
    bool m_fadeOut = false;
    double m_riseEnd = 0.0;
    double m_fallStart = 0.0;
    double m_riseStep = 0.0;
    double m_fallStep = 0.0;
    double m_parameter = 1.0;  // t
    Phase m_phase = Phase::None;
    bool m_gainKnown = false;
    double m_gainParameter = 0.0;
    double m_gain = 0.0;
};

bool isRegularFile(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
}

// Reads back what a converter wrote: its duration (and, for WAV, its format) against the range.
SaveResult checkWrittenFile(const std::string& path, const std::string& shownPath, SaveFormat format,
                            const ConversionSettings& settings, uint64_t rangeFrames)
{
    if (!isRegularFile(path))
        return failure(SaveFailure::Verification, "The saved file " + quoted(shownPath) + " was not written.");
    auto mismatch = [&](const std::string& found) {
        return failure(SaveFailure::Verification, "The saved file " + quoted(shownPath) + " does not hold the selection ("
                                                      + found + "); it was not kept.");
    };
    if (format == SaveFormat::Wav) {
        const WavFormat* written = g_toolkit.OpenWAV(path.c_str(), 0);
        const WavFormat found = written ? *written : WavFormat{};
        g_toolkit.CloseWAV(0);
        if (!written || found.formatTag != 1 || found.channels != 2 || found.blockAlign == 0
            || found.sampleRate != static_cast<uint32_t>(settings.wavSampleRate)
            || found.bitsPerSample != static_cast<uint32_t>(settings.wavBits))
            return mismatch("not a WAV file of the chosen format");
        const double expected = static_cast<double>(rangeFrames) * found.sampleRate / kTakeSampleRate;
        const double frames = found.dataLength / found.blockAlign;
        if (std::fabs(frames - expected) > 1.0)
            return mismatch(std::to_string(static_cast<uint64_t>(frames)) + " frames where "
                            + std::to_string(static_cast<uint64_t>(expected)) + " were expected");
        return {};
    }
    // The toolkit's media reader states the container's duration in units of 100 ns.
    const char* durationText = g_toolkit.GetWMAInfo(path.c_str(), "Duration");
    if (!durationText)
        return mismatch("it cannot be read back");
    const double samples = std::strtod(durationText, nullptr) * kTakeSampleRate / 1.0e7;
    double expected = static_cast<double>(rangeFrames);
    double tolerance = 0.0;
    if (format == SaveFormat::Mp3) {
        // An MP3's duration counts whole frames of 1152 samples, which also carry the encoder's
        // delay of 576 and the decoder's of 529 samples ahead of the audio.
        constexpr double kFrame = 1152.0;
        expected = std::ceil((expected + 576 + 529) / kFrame) * kFrame;
        tolerance = kFrame;
    } else {
        // A WMA's duration is stated in milliseconds and counts whole frames of 2048 samples.
        tolerance = 2048.0 + kTakeSampleRate / 1000.0;
    }
    if (!(std::fabs(samples - expected) <= tolerance))
        return mismatch(std::to_string(static_cast<int64_t>(samples)) + " samples where "
                        + std::to_string(static_cast<int64_t>(expected)) + " were expected");
    return {};
}

}

void scaleFadedSamples(int16_t* samples, std::size_t count, double fadeGain, double maximiseGain)
{
#if defined(WAVELARK_FADE_AVX2)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        scaleSamplesAvx2(samples, count, fadeGain, maximiseGain);
        return;
    }
#endif
    scaleSamplesPlainly(samples, count, fadeGain, maximiseGain);
}

const char* saveExtension(SaveFormat format)
{
    switch (format) {
    case SaveFormat::Mp3:
        return ".mp3";
    case SaveFormat::Wma:
        return ".wma";
    case SaveFormat::Wav:
        break;
    }
    return ".wav";
}

ConversionSettings conversionSettings(SaveFormat format, SaveQuality quality)
{
    constexpr std::array<int, 3> kMp3BitRates = {256, 128, 64};
    constexpr std::array<int, 3> kWavRates = {44100, 22050, 11025};
    constexpr std::array<int, 3> kWavBits = {16, 16, 8};
    const std::size_t index = static_cast<std::size_t>(quality);
    ConversionSettings settings;
    switch (format) {
    case SaveFormat::Mp3:
        settings.mp3BitRate = kMp3BitRates.at(index);
        break;
    case SaveFormat::Wma:
        settings.wmaBitRate = 192;
        break;
    case SaveFormat::Wav:
        settings.wavSampleRate = kWavRates.at(index);
        settings.wavBits = kWavBits.at(index);
        break;
    }
    return settings;
}

SaveResult copyRangeToTemporaryWav(const std::string& takePath, SaveRange range, const std::string& temporaryPath,
                                   const BlockProgress& progress)
{
    if (!range.valid())
        return failure(SaveFailure::InvalidRange,
                       "The selection is empty or does not hold whole frames. Nothing was saved.");
    if (uint64_t{kWavHeaderBytes} + range.bytes() > kLargestWavLength)
        return failure(SaveFailure::InvalidRange, "The selection is too long for a WAV file. Nothing was saved.");
    FileDescriptor take(::open(takePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!take.isOpen())
        return failure(SaveFailure::TakeUnreadable,
                       "The recording " + quoted(takePath) + " could not be opened: " + systemReason() + ". Nothing was saved.");
    struct stat status {};
    if (::fstat(take.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return failure(SaveFailure::TakeUnreadable,
                       "The recording " + quoted(takePath) + " is not a regular file. Nothing was saved.");
    if (static_cast<uint64_t>(status.st_size) < range.end)
        return failure(SaveFailure::InvalidRange,
                       "The selection reaches past the end of the recording. Nothing was saved.");

    // The toolkit writes the header; it answers 0 both for success and for a file it could not
    // create, so the file is checked to hold exactly the header.
    const int headerStatus = g_toolkit.CreateWAVHeader(temporaryPath.c_str(), kTakeSampleRate, 16, 2);
    FileDescriptor temporary(::open(temporaryPath.c_str(), O_WRONLY | O_CLOEXEC));
    if (!temporary.isOpen())
        return failure(SaveFailure::TemporaryFile, "The temporary file " + quoted(temporaryPath)
                                                       + " could not be created: " + systemReason() + ". Nothing was saved.");
    struct stat temporaryStatus {};
    if (headerStatus != 0 || ::fstat(temporary.get(), &temporaryStatus) != 0
        || temporaryStatus.st_size != kWavHeaderBytes)
        return failure(SaveFailure::TemporaryFile,
                       "The temporary file " + quoted(temporaryPath) + " could not be written. Nothing was saved.");

    const CopyOutcome copy = copyBytes(take.get(), range.start, temporary.get(), kWavHeaderBytes, range.bytes(), progress);
    SaveResult result;
    if (copy.status == CopyStatus::ReadFailed)
        result = failure(SaveFailure::TakeUnreadable,
                         "The recording could not be read: " + copy.reason + ". Nothing was saved.");
    else if (copy.status == CopyStatus::SourceEnded)
        result = failure(SaveFailure::TakeUnreadable,
                         "The recording ended before the selection did. Nothing was saved.");
    else if (copy.status == CopyStatus::WriteFailed)
        result = failure(SaveFailure::TemporaryFile, "The temporary file " + quoted(temporaryPath)
                                                         + " could not be written: " + copy.reason + ". Nothing was saved.");
    else if (!temporary.close())
        result = failure(SaveFailure::TemporaryFile, "The temporary file " + quoted(temporaryPath)
                                                         + " could not be written: " + systemReason() + ". Nothing was saved.");
    if (!result.ok()) {
        // A copy cut short (a full disk, most likely) gives its room back.
        ::unlink(temporaryPath.c_str());
        return result;
    }
    return fixWavSizes(temporaryPath);
}

SaveResult fixWavSizes(const std::string& path)
{
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0)
        return failure(SaveFailure::TemporaryFile, "The file " + quoted(path) + " could not be opened: " + systemReason() + ".");
    const uint64_t length = static_cast<uint64_t>(status.st_size);
    if (!S_ISREG(status.st_mode) || length < kWavHeaderBytes || length > kLargestWavLength)
        return failure(SaveFailure::TemporaryFile, "The file " + quoted(path) + " is not a WAV file that can hold its length.");
    uint8_t size[4];
    putLittleEndian32(size, static_cast<uint32_t>(length - kWavHeaderBytes));
    bool written = writeAt(file.get(), size, 4, 40);
    putLittleEndian32(size, static_cast<uint32_t>(length - kWavHeaderBytes + 36));
    written = written && writeAt(file.get(), size, 4, 4);
    if (!written || !file.close())
        return failure(SaveFailure::TemporaryFile, "The file " + quoted(path) + " could not be written: " + systemReason() + ".");
    return {};
}

std::optional<PcmWav> openPcmWav(const std::string& path, std::string* error)
{
    auto refuse = [&](const std::string& why) -> std::optional<PcmWav> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0)
        return refuse(systemReason());
    if (!S_ISREG(status.st_mode))
        return refuse("not a regular file");
    const uint64_t fileSize = static_cast<uint64_t>(status.st_size);
    if (fileSize <= kWavHeaderBytes)
        return refuse("holds no audio");

    uint8_t header[12];
    if (!readAt(file.get(), header, sizeof header, 0) || std::memcmp(header, "RIFF", 4) != 0
        || std::memcmp(header + 8, "WAVE", 4) != 0)
        return refuse("not a RIFF/WAVE file");
    const uint64_t riffEnd = std::min<uint64_t>(fileSize, 8 + uint64_t{littleEndian32(header + 4)});

    // The chunks of the form in order: "fmt " first, then "data" after it.
    PcmWav wav;
    bool formatFound = false;
    uint64_t chunk = 12;
    while (chunk + 8 <= riffEnd) {
        uint8_t chunkHeader[8];
        if (!readAt(file.get(), chunkHeader, sizeof chunkHeader, static_cast<off_t>(chunk)))
            return refuse(systemReason());
        const uint64_t body = chunk + 8;
        const uint64_t bodySize = littleEndian32(chunkHeader + 4);
        if (!formatFound && std::memcmp(chunkHeader, "fmt ", 4) == 0) {
            if (bodySize < 16 || body + 16 > riffEnd)
                return refuse("its format chunk is damaged");
            uint8_t format[18] = {};
            const std::size_t formatBytes = static_cast<std::size_t>(std::min<uint64_t>(18, bodySize));
            if (!readAt(file.get(), format, formatBytes, static_cast<off_t>(body)))
                return refuse("its format chunk cannot be read");
            wav.format = PcmWavFormat{littleEndian16(format), littleEndian16(format + 2), littleEndian32(format + 4),
                                      littleEndian32(format + 8), littleEndian16(format + 12),
                                      littleEndian16(format + 14), littleEndian16(format + 16)};
            formatFound = true;
        } else if (formatFound && std::memcmp(chunkHeader, "data", 4) == 0) {
            const PcmWavFormat& format = wav.format;
            if (format.formatTag != 1 || (format.bitsPerSample != 8 && format.bitsPerSample != 16)
                || (format.channels != 1 && format.channels != 2) || format.sampleRate < 2000
                || format.sampleRate > 88200)
                return refuse("not PCM audio of 8 or 16 bits, 1 or 2 channels and 2000 to 88200 Hz");
            const uint64_t dataSize = std::min(bodySize, fileSize - body);
            if (dataSize == 0)
                return refuse("holds no audio");
            std::string reason;
            if (!wav.region.openForRewrite(path, body, dataSize, &reason))
                return refuse(reason);
            return wav;
        }
        chunk = body + bodySize + (bodySize & 1);
    }
    return refuse(formatFound ? "it has no data chunk" : "it has no format chunk");
}

FadePassResult fadeAndMaximise(const std::string& temporaryPath, SaveRange range, const FadeSettings& fades,
                               const BlockProgress& scanProgress, const BlockProgress& processProgress)
{
    FadePassResult pass;
    std::string reason;
    std::optional<PcmWav> wav = openPcmWav(temporaryPath, &pass.skipReason);
    if (!wav)
        return pass;
    const PcmWavFormat& format = wav->format;
    if (format.channels != 2 || format.sampleRate != static_cast<uint32_t>(kTakeSampleRate) || format.bitsPerSample != 16) {
        pass.skipReason = "not 44100 Hz 16-bit stereo";
        return pass;
    }
    if (!range.valid()) {
        pass.result = failure(SaveFailure::InvalidRange, "The selection is empty or does not hold whole frames.");
        return pass;
    }

    // Without the maximise the peak is not needed, so the scan is left out.
    if (fades.maximiseOn) {
        const std::optional<int16_t> peak = scanPeak(wav->region, scanProgress, kPcmBlockSize, &reason);
        if (!peak) {
            pass.result = failure(SaveFailure::TemporaryFile, "The temporary file " + quoted(temporaryPath)
                                                                  + " could not be read: " + reason + ".");
            return pass;
        }
        pass.peak = *peak;
        // A range without a positive sample keeps unit gain: 32767 / 0 has no meaning.
        if (pass.peak > 0)
            pass.gain = 32767.0 / pass.peak;
    }
    FadeRewriter rewriter(range, fades, pass.gain);
    if (!rewriteBlocks(wav->region, std::ref(rewriter), processProgress, kPcmBlockSize, &reason)) {
        pass.result = failure(SaveFailure::TemporaryFile, "The temporary file " + quoted(temporaryPath)
                                                              + " could not be rewritten: " + reason + ".");
        return pass;
    }
    pass.applied = true;
    return pass;
}

SaveResult convertTemporaryWav(const std::string& temporaryPath, const std::string& destinationPath,
                               SaveFormat format, SaveQuality quality, uint32_t rangeBytes,
                               SorvakProgressFunction progress)
{
    const ConversionSettings settings = conversionSettings(format, quality);
    // The converter writes beside the destination, so an existing file of that name survives a
    // failed conversion and no half-written file is ever found under the destination's name.
    const std::string sidePath = sidePathOf(destinationPath);
    ::unlink(sidePath.c_str());
    const char* source = temporaryPath.c_str();
    const char* side = sidePath.c_str();
    std::string converterFailure;
    switch (format) {
    case SaveFormat::Mp3:
        switch (g_toolkit.WAV2MP3(source, side, settings.mp3BitRate, kTakeSampleRate, progress)) {
        case 0:
            if (!isRegularFile(sidePath))
                converterFailure = "the MP3 encoder (LAME) is not available";
            break;
        case 1:
            converterFailure = "the temporary file could not be read";
            break;
        case 3:
            converterFailure = "the file could not be written; check that the archive folder is writable and has room";
            break;
        default:
            converterFailure = "the MP3 encoder failed";
            break;
        }
        break;
    case SaveFormat::Wma:
        if (g_toolkit.WAV2WMA(source, side, settings.wmaBitRate, progress) != 0)
            converterFailure = "the WMA file could not be written; check that the archive folder is writable and has room";
        break;
    case SaveFormat::Wav:
        if (!g_toolkit.ResampleWAV(source, side, settings.wavSampleRate, settings.wavBits, 2, 1.0, progress))
            converterFailure = "the WAV file could not be written; check that the archive folder is writable and has room";
        break;
    }
    SaveResult result;
    if (!converterFailure.empty())
        result = failure(SaveFailure::Conversion,
                         "The file " + quoted(destinationPath) + " could not be saved: " + converterFailure + ".");
    else
        result = checkWrittenFile(sidePath, destinationPath, format, settings, rangeBytes / 4);
    if (result.ok() && ::rename(side, destinationPath.c_str()) != 0)
        result = failure(SaveFailure::Conversion,
                         "The file " + quoted(destinationPath) + " could not be saved: " + systemReason() + ".");
    if (!result.ok())
        ::unlink(side);
    return result;
}

SaveResult saveRange(const SaveJob& job, const SavePhaseProgress& phaseProgress,
                     const std::function<void()>& beforeConversion, SorvakProgressFunction conversionProgress)
{
    auto phase = [&](SavePhase which) -> BlockProgress {
        if (!phaseProgress)
            return {};
        return [&phaseProgress, which](int percent) { phaseProgress(which, percent); };
    };
    SaveResult result = copyRangeToTemporaryWav(job.takePath, job.range, job.temporaryPath, phase(SavePhase::Preparing));
    if (!result.ok())
        return result;
    const FadePassResult pass = fadeAndMaximise(job.temporaryPath, job.range, job.fades, phase(SavePhase::Scanning),
                                                phase(SavePhase::Processing));
    if (!pass.result.ok())
        return pass.result;
    if (beforeConversion)
        beforeConversion();
    return convertTemporaryWav(job.temporaryPath, job.destinationPath, job.format, job.quality, job.range.bytes(),
                               conversionProgress);
}

std::string sidePathOf(const std::string& destinationPath)
{
    return destinationPath + ".part";
}

}
