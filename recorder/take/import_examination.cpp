#include "take/import_examination.h"

#include "core/take_format.h"
#include "core/toolkit_binding.h"
#include "take/take_import.h"

#include "sorvak.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wavelark {

namespace {

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

ImportExamination refusal(ImportRefusal kind, const std::string& message)
{
    return ImportExamination{ImportWay::Refused, kind, message};
}

bool isTakeFormat(const WavFormat* format)
{
    return format && format->sampleRate == static_cast<uint32_t>(kTakeSampleRate) && format->bitsPerSample == 16
           && format->channels == 2 && format->formatTag == 1;
}

// FFmpeg's long name of a format, as a user knows it: "Matroska / WebM" is Matroska, "AVI (Audio
// Video Interleaved)" is AVI.
std::string formatName(const char* longName)
{
    std::string name(longName);
    for (const char* cut : {" / ", " ("})
        if (const std::size_t at = name.find(cut); at != std::string::npos)
            name.resize(at);
    return name;
}

std::string withArticle(const std::string& words)
{
    const bool vowel = !words.empty() && std::string("AEIOUaeiou").find(words[0]) != std::string::npos;
    return (vowel ? "an " : "a ") + words;
}

std::string refusalText(const std::string& name, const SorvakAudioFileReport& report)
{
    switch (report.verdict) {
    case SORVAK_AUDIO_FILE_VIDEO:
        return "The file " + name + " is " + withArticle(report.container[0] ? formatName(report.container) + " video" : "video")
               + "; " + kImportableFormats;
    case SORVAK_AUDIO_FILE_OTHER_FORMAT:
        return "The file " + name + " is in the " + formatName(report.container) + " format, not an audio file; "
               + kImportableFormats;
    case SORVAK_AUDIO_FILE_NO_AUDIO:
        return "The file " + name + (report.container[0] ? " (format: " + formatName(report.container) + ")" : std::string())
               + " holds no audio. " + kImportableFormats;
    case SORVAK_AUDIO_FILE_DAMAGED:
        return "The audio in the file " + name + " could not be decoded: the file is damaged, or its kind of audio ("
               + (report.codec[0] ? report.codec : "unknown") + ") cannot be read.";
    case SORVAK_AUDIO_FILE_RATE:
        return "The file " + name + " has a sample rate of " + std::to_string(report.sampleRate)
               + " Hz; Wavelark imports audio recorded at 8000 to 192000 Hz.";
    case SORVAK_AUDIO_FILE_CUT_OFF:
        return "The file " + name + " ends before the length it states: it is cut off or damaged.";
    case SORVAK_AUDIO_FILE_UNREADABLE:
        return "The file " + name + " could not be read.";
    default:
        return "The file " + name + " is not an audio file Wavelark can read, or it is damaged. " + kImportableFormats;
    }
}

}

std::string tooLongText(const std::string& name, double seconds)
{
    const auto minutes = static_cast<long long>(seconds / 60.0);
    return "The file " + name + " is too long to import: it holds " + std::to_string(minutes / 60) + " h "
           + std::to_string(minutes % 60) + " min of audio, and a take holds at most 6 h 45 min.";
}

ImportExamination examineImport(const std::string& sourcePath)
{
    const std::string name = quoted(sourcePath);
    // Opened without waiting, so a named pipe is refused instead of waiting for a writer.
    const int source = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (source < 0)
        return refusal(ImportRefusal::NotRegularFile,
                       "The file " + name + " could not be opened: " + std::strerror(errno) + ".");
    struct stat status {};
    const bool regular = ::fstat(source, &status) == 0 && S_ISREG(status.st_mode);
    ::close(source);
    if (!regular)
        return refusal(ImportRefusal::NotRegularFile,
                       "The file " + name + " is not a regular file (a folder, a named pipe or a device) and cannot be imported.");

    if (importsAsWav(sourcePath)) {
        const bool copied = isTakeFormat(g_toolkit.OpenWAV(sourcePath.c_str(), 0));
        g_toolkit.CloseWAV(0);
        if (copied && static_cast<uint64_t>(status.st_size) > kLargestTake)
            return refusal(ImportRefusal::NotAudio,
                           tooLongText(name, static_cast<double>(status.st_size) / (kTakeSampleRate * kTakeFrameBytes)));
        if (copied)
            return ImportExamination{ImportWay::Copy, ImportRefusal::None, {}};
    }
    if (!g_toolkitExtras.ExamineAudioFile || !g_toolkitExtras.AudioFileToWAV)
        return refusal(ImportRefusal::NotAudio, "The file " + name + " cannot be imported: the audio toolkit (libsorvak.so) "
                                                                     "is too old to convert it.");
    SorvakAudioFileReport report {};
    if (g_toolkitExtras.ExamineAudioFile(sourcePath.c_str(), &report) != SORVAK_AUDIO_FILE_AUDIO)
        return refusal(ImportRefusal::NotAudio, refusalText(name, report));
    // A stated length past the take's limit is refused before hours of conversion; a file that
    // states none is measured after its conversion (take/take_import.cpp).
    if (const double seconds = static_cast<double>(report.duration) / 1e7;
        seconds * kTakeSampleRate * kTakeFrameBytes > static_cast<double>(kLargestTake))
        return refusal(ImportRefusal::NotAudio, tooLongText(name, seconds));
    return ImportExamination{ImportWay::Convert, ImportRefusal::None, {}};
}

bool convertForImport(const std::string& sourcePath, const std::string& destinationPath, int (*progress)(int))
{
    return g_toolkitExtras.AudioFileToWAV
           && g_toolkitExtras.AudioFileToWAV(sourcePath.c_str(), destinationPath.c_str(), progress) == 0;
}

}
