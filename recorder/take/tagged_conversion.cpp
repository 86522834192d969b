#include "take/tagged_conversion.h"

#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace wavelark {

namespace {

// A converter that was cancelled (the toolkit finishes the file short and reports success) is
// told apart through the progress callback's answer, which the caller's callback keeps.
thread_local bool t_cancelled = false;
thread_local SorvakProgressFunction t_progress = nullptr;

int watchedProgress(int percent)
{
    const int answer = t_progress ? t_progress(percent) : 0;
    if (answer != 0)
        t_cancelled = true;
    return answer;
}

// The tagged converters are not in the binding table, whose size and order are fixed: they are
// looked up in the bound library at each conversion (dlsym is safe on any thread), and a library
// without them is reported as such.
struct TaggedConverters {
    decltype(&::WAV2MP3Tagged) mp3 = nullptr;
    decltype(&::WAV2WMATagged) wma = nullptr;
};

TaggedConverters taggedConverters()
{
    TaggedConverters converters;
    if (g_toolkit.module) {
        converters.mp3 = reinterpret_cast<decltype(&::WAV2MP3Tagged)>(::dlsym(g_toolkit.module, "WAV2MP3Tagged"));
        converters.wma = reinterpret_cast<decltype(&::WAV2WMATagged)>(::dlsym(g_toolkit.module, "WAV2WMATagged"));
    }
    return converters;
}

}

bool hasTaggedConverter(SaveFormat format)
{
    return format == SaveFormat::Mp3 || format == SaveFormat::Wma;
}

SaveResult encodeTagged(const std::string& temporaryPath, const std::string& sidePath, const std::string& shownPath,
                        SaveFormat format, SaveQuality quality, const SorvakTags& tags,
                        SorvakProgressFunction progress)
{
    auto failed = [&](const std::string& why) {
        ::unlink(sidePath.c_str());
        return failedSave(SaveFailure::Conversion, "The file " + quotedPath(shownPath) + " could not be saved: " + why + ".");
    };
    if (!hasTaggedConverter(format))
        return failed("its format has no tagged converter");
    const TaggedConverters converters = taggedConverters();
    if ((format == SaveFormat::Mp3 && !converters.mp3) || (format == SaveFormat::Wma && !converters.wma))
        return failed("the toolkit has no tagged converter for it");
    const ConversionSettings settings = conversionSettings(format, quality);
    t_cancelled = false;
    t_progress = progress;
    errno = 0;
    int status = 0;
    if (format == SaveFormat::Mp3)
        status = converters.mp3(temporaryPath.c_str(), sidePath.c_str(), settings.mp3BitRate, kTakeSampleRate, &tags,
                                &watchedProgress);
    else
        status = converters.wma(temporaryPath.c_str(), sidePath.c_str(), settings.wmaBitRate, &tags, &watchedProgress);
    const int reason = errno;
    t_progress = nullptr;
    if (t_cancelled)
        return failed("the save was cancelled");
    struct stat written {};
    const bool present = ::stat(sidePath.c_str(), &written) == 0 && S_ISREG(written.st_mode) && written.st_size > 0;
    if (status == 0 && !present && format == SaveFormat::Mp3)
        return failed("the MP3 encoder (LAME) is not available");
    if (status != 0 || !present)
        return failed(std::string(format == SaveFormat::Mp3 ? "the MP3" : "the WMA") + " file could not be written"
                      + (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string()));
    return {};
}

SaveResult checkTaggedFile(const std::string& path, const std::string& shownPath, SaveFormat format,
                           uint32_t rangeBytes)
{
    auto mismatch = [&](const std::string& found) {
        return failedSave(SaveFailure::Verification,
                          "The saved file " + quotedPath(shownPath) + " does not hold its track (" + found + "); it was not kept.");
    };
    // The toolkit's media reader states the container's duration in units of 100 ns.
    const char* durationText = g_toolkit.GetWMAInfo(path.c_str(), "Duration");
    if (!durationText)
        return mismatch("it cannot be read back");
    const double samples = std::strtod(durationText, nullptr) * kTakeSampleRate / 1.0e7;
    double expected = static_cast<double>(rangeBytes / 4);
    double tolerance = 0.0;
    if (format == SaveFormat::Mp3) {
        // Whole frames of 1152 samples, carrying the encoder's delay of 576 and the decoder's of 529.
        constexpr double kFrame = 1152.0;
        expected = std::ceil((expected + 576 + 529) / kFrame) * kFrame;
        tolerance = kFrame;
    } else {
        // Milliseconds, counting whole frames of 2048 samples.
        tolerance = 2048.0 + kTakeSampleRate / 1000.0;
    }
    if (!(std::fabs(samples - expected) <= tolerance))
        return mismatch(std::to_string(static_cast<int64_t>(samples)) + " samples where "
                        + std::to_string(static_cast<int64_t>(expected)) + " were expected");
    return {};
}

}
