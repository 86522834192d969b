#include "take/save_conversion.h"

#include "take/archive_side_file.h"
#include "take/conversion_stages.h"
#include "take/flac_encoder.h"

#include "core/file_toolbox.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdio>

namespace wavelark {

const char* saveExtension(SaveFormat format)
{
    switch (format) {
    case SaveFormat::Mp3:
        return ".mp3";
    case SaveFormat::Wma:
        return ".wma";
    case SaveFormat::Flac:
        return ".flac";
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
    case SaveFormat::Flac:
        settings.flacLevel = std::array<int, 3>{kSmallestFlacLevel, kDefaultFlacLevel, kFastestFlacLevel}.at(index);
        break;
    }
    return settings;
}

SaveResult saveFlacFile(const PcmRegion& source, const std::string& destinationPath, SaveQuality quality,
                        const SorvakTags* tags, SorvakProgressFunction progress)
{
    const std::string sidePath = sidePathOf(destinationPath);
    if (SaveResult created = createSideFile(sidePath, destinationPath); !created.ok())
        return created;
    return placeSideFile(encodeFlacSideFile(source, sidePath, destinationPath, quality, tags, progress), sidePath,
                         destinationPath);
}

SaveResult convertTemporaryWav(const std::string& temporaryPath, const std::string& destinationPath,
                               SaveFormat format, SaveQuality quality, uint32_t rangeBytes,
                               SorvakProgressFunction progress, const SorvakTags* tags)
{
    // The converters answer only "failed" for a source they cannot read and for a destination they
    // cannot write: both ends are opened first, so that either is reported with its reason.
    if (!FileDescriptor(::open(temporaryPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)).isOpen())
        return failedConversion(destinationPath, "the temporary file " + quotedPath(temporaryPath)
                                                     + " could not be read: " + systemReason());
    // The converter writes beside the destination, so an existing file of that name survives a
    // failed conversion and no half-written file is ever found under the destination's name.
    const std::string sidePath = sidePathOf(destinationPath);
    SaveResult result = encodeSideFile(temporaryPath, sidePath, destinationPath, format, quality, tags, progress);
    if (result.ok())
        result = checkSideFile(sidePath, destinationPath, format, quality, rangeBytes);
    return placeSideFile(result, sidePath, destinationPath);
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
