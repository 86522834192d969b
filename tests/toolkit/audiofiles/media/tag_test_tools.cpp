#include "toolkit/audiofiles/media/tag_test_tools.h"

#include "toolkit/audiofiles/media/audio_test_tools.h"

#include <sstream>

namespace wavelark::testing {

const TagCase kTagCases[] = {
    {"Ascii", {"Side A Song", "The Band", "Live at Home", "1979", 3, 12},
     "Side A Song", "The Band", "Live at Home", "1979", "3/12"},
    {"Accents", {"Café déjà vu – Überfahrt", "Ærøskøbing Sånger", "Noël", "2024", 1, 9},
     "Café déjà vu – Überfahrt", "Ærøskøbing Sånger", "Noël", "2024", "1/9"},
    {"Cjk", {"東京の夜", "山田 花子", "夏の歌 第二集", "2001", 12, 12},
     "東京の夜", "山田 花子", "夏の歌 第二集", "2001", "12/12"},
    {"MissingArtistEmptyAlbumNoCount", {"Only a Title", nullptr, "", "1999", 3, 0},
     "Only a Title", "", "", "1999", "3"},
    {"NoTrackNoYear", {"Untracked", "Someone", "Loose Songs", nullptr, 0, 12},
     "Untracked", "Someone", "Loose Songs", "", ""},
};
const std::size_t kTagCaseCount = sizeof kTagCases / sizeof kTagCases[0];

std::map<std::string, std::string> probedTags(const std::string& path)
{
    CommandResult result = runCommand("ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 "
                                      + shellQuoted(path));
    std::map<std::string, std::string> tags;
    std::istringstream lines(result.output);
    const std::string prefix = "TAG:";
    for (std::string line; std::getline(lines, line);) {
        std::size_t equals = line.find('=');
        if (line.rfind(prefix, 0) != 0 || equals == std::string::npos)
            continue;
        tags[line.substr(prefix.size(), equals - prefix.size())] = line.substr(equals + 1);
    }
    return tags;
}

std::string tagOf(const std::map<std::string, std::string>& tags, const std::string& name)
{
    auto found = tags.find(name);
    return found == tags.end() ? std::string() : found->second;
}

namespace {

double probedSeconds(const std::string& path, const std::string& section, const std::string& entry)
{
    std::string text = probeEntry(path, section, entry);
    try {
        return text.empty() ? -1.0 : std::stod(text);
    } catch (const std::exception&) {
        return -1.0;
    }
}

}

double probedPlayingTime(const std::string& path)
{
    double duration = probedSeconds(path, "format", "duration");
    double startTime = probedSeconds(path, "stream", "start_time");
    return duration < 0 ? -1.0 : duration - (startTime > 0 ? startTime : 0.0);
}

void PrintTo(const TagCase& tagCase, std::ostream* stream)
{
    *stream << tagCase.name;
}

}
