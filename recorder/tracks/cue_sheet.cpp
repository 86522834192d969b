#include "tracks/cue_sheet.h"

#include "core/take_format.h"
#include "tracks/track_names.h"

#include <cstdio>

namespace wavelark {

namespace {

// A cue sheet's frames: 75 a second, 588 take frames each.
constexpr uint64_t kCueFramesPerSecond = 75;
static_assert(kTakeSampleRate % kCueFramesPerSecond == 0);
constexpr uint64_t kTakeFramesPerCueFrame = kTakeSampleRate / kCueFramesPerSecond;

// Lines end in LF alone: the readers of cue sheets today (players, rippers' checkers, FFmpeg) take
// either ending, the program and its users are on Linux, and the playlist beside it ends its lines
// so too. CRLF was the convention of the DOS burning programs the format comes from.
constexpr char kLineEnd = '\n';

std::string quoted(std::string_view text)
{
    std::string value = singleLineText(text);
    for (char& character : value) {
        if (character == '"')
            character = '\'';
    }
    return '"' + value + '"';
}

std::string twoDigits(std::size_t number)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02zu", number);
    return digits;
}

void addLine(std::string& sheet, std::string_view indent, std::string_view keyword, std::string_view value)
{
    sheet.append(indent).append(keyword).append(" ").append(value) += kLineEnd;
}

std::string sideHeader(const SideTags& tags)
{
    std::string sheet;
    if (!tags.year.empty())
        addLine(sheet, "", "REM DATE", singleLineText(tags.year));
    if (!tags.artist.empty())
        addLine(sheet, "", "PERFORMER", quoted(tags.artist));
    if (!tags.album.empty())
        addLine(sheet, "", "TITLE", quoted(tags.album));
    return sheet;
}

void addTrack(std::string& sheet, const SideTags& tags, std::size_t index, std::size_t total, const SideTrack& track,
              uint64_t indexFrame)
{
    const int number = static_cast<int>(index + 1);
    addLine(sheet, "  ", "TRACK", twoDigits(index + 1) + " AUDIO");
    addLine(sheet, "    ", "TITLE",
            quoted(track.title.empty() ? defaultTrackTitle(number, static_cast<int>(total)) : track.title));
    if (!tags.artist.empty())
        addLine(sheet, "    ", "PERFORMER", quoted(tags.artist));
    addLine(sheet, "    ", "INDEX", "01 " + cueTime(indexFrame));
}

bool countable(const std::vector<SideTrack>& tracks)
{
    return !tracks.empty() && tracks.size() <= kMostCueTracks;
}

}

std::string cueTime(uint64_t takeFrame)
{
    const uint64_t cueFrames = takeFrame / kTakeFramesPerCueFrame;
    const uint64_t seconds = cueFrames / kCueFramesPerSecond;
    char text[40];
    std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60),
                  static_cast<unsigned long long>(cueFrames % kCueFramesPerSecond));
    return text;
}

std::string cueFileType(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    std::string extension(dot == std::string_view::npos ? std::string_view() : fileName.substr(dot + 1));
    for (char& character : extension) {
        if (character >= 'A' && character <= 'Z')
            character = static_cast<char>(character - 'A' + 'a');
    }
    if (extension == "mp3")
        return "MP3";
    if (extension == "aif" || extension == "aiff")
        return "AIFF";
    return "WAVE";
}

std::optional<std::string> trackFilesCueSheet(const SideTags& tags, const std::vector<SideTrack>& tracks)
{
    if (!countable(tracks))
        return std::nullopt;
    std::string sheet = sideHeader(tags);
    for (std::size_t index = 0; index < tracks.size(); ++index) {
        addLine(sheet, "", "FILE", quoted(tracks[index].fileName) + " " + cueFileType(tracks[index].fileName));
        addTrack(sheet, tags, index, tracks.size(), tracks[index], 0);
    }
    return sheet;
}

std::optional<std::string> wholeSideCueSheet(const SideTags& tags, const std::vector<SideTrack>& tracks,
                                             std::string_view sideFileName)
{
    if (!countable(tracks))
        return std::nullopt;
    std::string sheet = sideHeader(tags);
    addLine(sheet, "", "FILE", quoted(sideFileName) + " " + cueFileType(sideFileName));
    for (std::size_t index = 0; index < tracks.size(); ++index)
        addTrack(sheet, tags, index, tracks.size(), tracks[index], tracks[index].startFrame);
    return sheet;
}

}
