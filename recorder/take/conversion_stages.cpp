#include "take/conversion_stages.h"

#include "take/archive_side_file.h"
#include "take/flac_check.h"
#include "take/flac_encoder.h"
#include "take/pcm_wav.h"

#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace wavelark {

namespace {

bool isRegularFile(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
}

SaveResult notHeld(const std::string& shownPath, SavedPart part, const std::string& found)
{
    return failedSave(SaveFailure::Verification, "The saved file " + quotedPath(shownPath) + " does not hold "
                                                     + (part == SavedPart::Selection ? "the selection" : "its track")
                                                     + " (" + found + "); it was not kept.");
}

// The toolkit's converters finish a cancelled file short and report success: a cancel is told
// apart through the progress callback's answer, which the caller's callback keeps. Per thread,
// as the converters' callback has no context; saved and restored around each conversion in
// case a progress callback that pumps events starts another one.
thread_local bool t_cancelled = false;
thread_local SorvakProgressFunction t_progress = nullptr;

int watchedProgress(int percent)
{
    const int answer = t_progress ? t_progress(percent) : 0;
    if (answer != 0)
        t_cancelled = true;
    return answer;
}

class WatchedProgress {
public:
    explicit WatchedProgress(SorvakProgressFunction progress)
        : m_outerProgress(t_progress)
        , m_outerCancelled(t_cancelled)
    {
        t_progress = progress;
        t_cancelled = false;
    }
    ~WatchedProgress()
    {
        t_progress = m_outerProgress;
        t_cancelled = m_outerCancelled;
    }
    WatchedProgress(const WatchedProgress&) = delete;
    WatchedProgress& operator=(const WatchedProgress&) = delete;
    bool cancelled() const { return t_cancelled; }

private:
    SorvakProgressFunction m_outerProgress;
    bool m_outerCancelled;
};

// The temporary WAV's audio as the FLAC encoder takes it, or why it cannot.
std::optional<PcmWav> flacSource(const std::string& temporaryPath, std::string* why)
{
    std::optional<PcmWav> wav = openPcmWav(temporaryPath, why, PcmAccess::ReadOnly);
    if (!wav) {
        *why = "the temporary file " + quotedPath(temporaryPath) + " could not be read: " + *why;
        return std::nullopt;
    }
    if (wav->format.sampleRate != kTakeSampleRate || wav->format.channels != 2 || wav->format.bitsPerSample != 16) {
        *why = "the temporary file " + quotedPath(temporaryPath) + " is not 44100 Hz 16-bit stereo";
        return std::nullopt;
    }
    return wav;
}

// Runs the toolkit's converter of the format (MP3, WMA, WAV) on the temporary WAV into the side
// file. Nothing on success, else why it failed.
std::optional<std::string> runConverter(const std::string& temporaryPath, const std::string& sidePath, SaveFormat format,
                                        SaveQuality quality, const SorvakTags* tags, SorvakProgressFunction progress)
{
    const ConversionSettings settings = conversionSettings(format, quality);
    const char* source = temporaryPath.c_str();
    const char* side = sidePath.c_str();
    constexpr std::array<const char*, 3> kFormatNames = {"MP3", "WMA", "WAV"};
    // The converter's status, in WAV2MP3's codes, and the errno its last call left, taken at once.
    constexpr int kConverted = 0;
    constexpr int kSourceUnreadable = 1;
    constexpr int kDestinationUnwritable = 3;
    const WatchedProgress watched(progress);
    errno = 0;
    int status = kConverted;
    switch (format) {
    case SaveFormat::Mp3:
        status = g_toolkitExtras.WAV2MP3Tagged
                     ? g_toolkitExtras.WAV2MP3Tagged(source, side, settings.mp3BitRate, kTakeSampleRate, tags, &watchedProgress)
                     : g_toolkit.WAV2MP3(source, side, settings.mp3BitRate, kTakeSampleRate, &watchedProgress);
        break;
    case SaveFormat::Wma:
        status = (g_toolkitExtras.WAV2WMATagged
                      ? g_toolkitExtras.WAV2WMATagged(source, side, settings.wmaBitRate, tags, &watchedProgress)
                      : g_toolkit.WAV2WMA(source, side, settings.wmaBitRate, &watchedProgress))
                         == 0
                     ? kConverted
                     : kDestinationUnwritable;
        break;
    case SaveFormat::Wav:
    case SaveFormat::Flac:
        status = g_toolkit.ResampleWAV(source, side, settings.wavSampleRate, settings.wavBits, 2, 1.0, &watchedProgress)
                     ? kConverted
                     : kDestinationUnwritable;
        break;
    }
    const int converterReason = errno;
    if (watched.cancelled())
        return std::string("the save was cancelled");
    // The other converters' failures count as the destination's: the caller opened the source.
    if (status == kConverted && format == SaveFormat::Mp3 && !isRegularFile(sidePath))
        return std::string("the MP3 encoder (LAME) is not available");
    if (status == kSourceUnreadable)
        return std::string("the temporary file could not be read");
    if (status == kDestinationUnwritable)
        return std::string("the ") + kFormatNames.at(static_cast<std::size_t>(format))
               + " file could not be written: " + writeFailureReason(sidePath, converterReason);
    if (status != kConverted)
        return std::string("the MP3 encoder failed");
    return std::nullopt;
}

}

bool encodesOnAnyThread(SaveFormat format)
{
    return format != SaveFormat::Wav;
}

SaveResult encodeFlacSideFile(const PcmRegion& source, const std::string& sidePath, const std::string& shownPath,
                              SaveQuality quality, const SorvakTags* tags, SorvakProgressFunction progress, SavedPart part)
{
    // The read-back decodes the file as it is written, on a second core while the encoder uses one.
    FlacReadBack readBack(sidePath, source);
    const std::optional<std::string> failure =
        encodeFlac(source, sidePath, conversionSettings(SaveFormat::Flac, quality).flacLevel, tags, progress,
                   [&readBack] { readBack.written(); });
    const std::optional<std::string> difference = readBack.finish(!failure);
    SaveResult result;
    if (failure)
        result = failedConversion(shownPath, *failure);
    else if (difference)
        result = notHeld(shownPath, part, *difference);
    if (!result.ok())
        ::unlink(sidePath.c_str());
    return result;
}

SaveResult encodeSideFile(const std::string& temporaryPath, const std::string& sidePath, const std::string& shownPath,
                          SaveFormat format, SaveQuality quality, const SorvakTags* tags,
                          SorvakProgressFunction progress, SavedPart part)
{
    std::optional<PcmWav> flac;
    if (format == SaveFormat::Flac) {
        std::string why;
        flac = flacSource(temporaryPath, &why);
        if (!flac)
            return failedConversion(shownPath, why);
    }
    const bool taggedConverter = (format == SaveFormat::Mp3 && g_toolkitExtras.WAV2MP3Tagged)
                                 || (format == SaveFormat::Wma && g_toolkitExtras.WAV2WMATagged);
    if (hasTags(tags) && (format == SaveFormat::Mp3 || format == SaveFormat::Wma) && !taggedConverter)
        return failedConversion(shownPath, "the toolkit has no tagged converter for it");
    if (SaveResult created = createSideFile(sidePath, shownPath); !created.ok())
        return created;
    if (flac)
        return encodeFlacSideFile(flac->region, sidePath, shownPath, quality, tags, progress, part);
    // A WAV file carries no tags: they are left out of it.
    if (const std::optional<std::string> failure = runConverter(temporaryPath, sidePath, format, quality, tags, progress)) {
        ::unlink(sidePath.c_str());
        return failedConversion(shownPath, *failure);
    }
    return {};
}

SaveResult checkSideFile(const std::string& sidePath, const std::string& shownPath, SaveFormat format,
                         SaveQuality quality, uint32_t rangeBytes, SavedPart part)
{
    if (format == SaveFormat::Flac)
        return {};
    if (!isRegularFile(sidePath))
        return failedSave(SaveFailure::Verification, "The saved file " + quotedPath(shownPath) + " was not written.");
    const ConversionSettings settings = conversionSettings(format, quality);
    const uint64_t rangeFrames = rangeBytes / 4;
    if (format == SaveFormat::Wav) {
        const WavFormat* written = g_toolkit.OpenWAV(sidePath.c_str(), 0);
        const WavFormat found = written ? *written : WavFormat{};
        g_toolkit.CloseWAV(0);
        if (!written || found.formatTag != 1 || found.channels != 2 || found.blockAlign == 0
            || found.sampleRate != static_cast<uint32_t>(settings.wavSampleRate)
            || found.bitsPerSample != static_cast<uint32_t>(settings.wavBits))
            return notHeld(shownPath, part, "not a WAV file of the chosen format");
        const double expected = static_cast<double>(rangeFrames) * found.sampleRate / kTakeSampleRate;
        const double frames = found.dataLength / found.blockAlign;
        if (std::fabs(frames - expected) > 1.0)
            return notHeld(shownPath, part, std::to_string(static_cast<uint64_t>(frames)) + " frames where "
                                                + std::to_string(static_cast<uint64_t>(expected)) + " were expected");
        return {};
    }
    // The toolkit's media reader states the container's duration in units of 100 ns.
    const char* durationText = g_toolkit.GetWMAInfo(sidePath.c_str(), "Duration");
    if (!durationText)
        return notHeld(shownPath, part, "it cannot be read back");
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
        return notHeld(shownPath, part, std::to_string(static_cast<int64_t>(samples)) + " samples where "
                                            + std::to_string(static_cast<int64_t>(expected)) + " were expected");
    return {};
}

}
