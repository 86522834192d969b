#include "take/save_conversion.h"

#include "take/pcm_blocks.h"

#include "core/file_toolbox.h"
#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wavelark {

namespace {

// Why a converter that could create its side file still failed to write it: a file system without
// room, else the reason its last call left (the converters built on stdio end on the failing
// write or close), else what is known.
std::string writeFailureReason(const std::string& sidePath, int converterReason)
{
    const std::string folder = sidePath.substr(0, sidePath.rfind('/') + 1);
    struct statvfs room {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &room) == 0 && room.f_bavail == 0)
        return std::strerror(ENOSPC);
    if (converterReason != 0)
        return std::strerror(converterReason);
    return "the converter stopped without a reason";
}

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
        return failedSave(SaveFailure::Verification, "The saved file " + quotedPath(shownPath) + " was not written.");
    auto mismatch = [&](const std::string& found) {
        return failedSave(SaveFailure::Verification, "The saved file " + quotedPath(shownPath) + " does not hold the selection ("
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

SaveResult convertTemporaryWav(const std::string& temporaryPath, const std::string& destinationPath,
                               SaveFormat format, SaveQuality quality, uint32_t rangeBytes,
                               SorvakProgressFunction progress)
{
    auto failed = [&](const std::string& why) {
        return failedSave(SaveFailure::Conversion, "The file " + quotedPath(destinationPath) + " could not be saved: " + why + ".");
    };
    const ConversionSettings settings = conversionSettings(format, quality);
    // The converters answer only "failed" for a source they cannot read and for a destination they
    // cannot write: both ends are opened here first, so that either is reported with its reason.
    if (!FileDescriptor(::open(temporaryPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)).isOpen())
        return failed("the temporary file " + quotedPath(temporaryPath) + " could not be read: " + systemReason());
    // The converter writes beside the destination, so an existing file of that name survives a
    // failed conversion and no half-written file is ever found under the destination's name.
    const std::string sidePath = sidePathOf(destinationPath);
    const char* side = sidePath.c_str();
    // A side file left by an interrupted save goes first: the one the converter writes is new.
    ::unlink(side);
    FileDescriptor created(::open(side, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!created.isOpen())
        return failed(systemReason());
    created.close();

    const char* source = temporaryPath.c_str();
    constexpr std::array<const char*, 3> kFormatNames = {"MP3", "WMA", "WAV"};
    // The converter's status, in WAV2MP3's codes, and the errno its last call left, taken at once.
    constexpr int kConverted = 0;
    constexpr int kSourceUnreadable = 1;
    constexpr int kDestinationUnwritable = 3;
    errno = 0;
    int status = kConverted;
    switch (format) {
    case SaveFormat::Mp3:
        status = g_toolkit.WAV2MP3(source, side, settings.mp3BitRate, kTakeSampleRate, progress);
        break;
    case SaveFormat::Wma:
        status = g_toolkit.WAV2WMA(source, side, settings.wmaBitRate, progress) == 0 ? kConverted : kDestinationUnwritable;
        break;
    case SaveFormat::Wav:
        status = g_toolkit.ResampleWAV(source, side, settings.wavSampleRate, settings.wavBits, 2, 1.0, progress)
                     ? kConverted
                     : kDestinationUnwritable;
        break;
    }
    const int converterReason = errno;
    // The other converters' failures count as the destination's: their source was opened above.
    std::string converterFailure;
    if (status == kConverted && format == SaveFormat::Mp3 && !isRegularFile(sidePath))
        converterFailure = "the MP3 encoder (LAME) is not available";
    else if (status == kSourceUnreadable)
        converterFailure = "the temporary file could not be read";
    else if (status == kDestinationUnwritable)
        converterFailure = std::string("the ") + kFormatNames.at(static_cast<std::size_t>(format))
                           + " file could not be written: " + writeFailureReason(sidePath, converterReason);
    else if (status != kConverted)
        converterFailure = "the MP3 encoder failed";
    SaveResult result;
    if (!converterFailure.empty())
        result = failed(converterFailure);
    else
        result = checkWrittenFile(sidePath, destinationPath, format, settings, rangeBytes / 4);
    // A folder entry that could not be forced to the disk still holds the file in place: the save
    // is done, as the archive list shows it.
    if (result.ok())
        if (const std::optional<FileFailure> failure = moveIntoPlace(sidePath, destinationPath);
            failure && failure->step != FileFailure::Step::SyncingFolder)
            result = failed(failure->reason());
    if (!result.ok())
        ::unlink(side);
    return result;
}

std::size_t longestFileName(const std::string& folder)
{
    const long longest = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return longest > 0 ? static_cast<std::size_t>(longest) : std::size_t{NAME_MAX};
}

std::string sidePathOf(const std::string& destinationPath)
{
    constexpr char kSideEnding[] = ".part";
    constexpr std::size_t kEndingBytes = sizeof kSideEnding - 1;
    constexpr std::size_t kHashBytes = 17; // '~' and 16 hex digits
    const std::size_t nameStart = destinationPath.rfind('/') + 1; // 0 without a folder
    const std::string folder = destinationPath.substr(0, nameStart);
    const std::string name = destinationPath.substr(nameStart);
    const std::size_t longest = longestFileName(folder);
    if (name.size() + kEndingBytes <= longest)
        return destinationPath + kSideEnding;
    // FNV-1a over the whole name: long names with the same start get different side files.
    uint64_t hash = 14695981039346656037ull;
    for (const char byte : name)
        hash = (hash ^ static_cast<uint8_t>(byte)) * 1099511628211ull;
    std::size_t kept = longest > kEndingBytes + kHashBytes ? longest - kEndingBytes - kHashBytes : 0;
    // Never half a UTF-8 character: the saving mark holds the path as text.
    while (kept > 0 && (static_cast<uint8_t>(name[kept]) & 0xC0) == 0x80)
        --kept;
    char hashText[kHashBytes + 1];
    std::snprintf(hashText, sizeof hashText, "~%016llx", static_cast<unsigned long long>(hash));
    return folder + name.substr(0, kept) + hashText + kSideEnding;
}

}
