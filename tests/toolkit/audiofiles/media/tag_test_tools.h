// Tools for the tagged-conversion tests: the tag sets the MP3 and WMA tests share, and the tags
// ffprobe reads back from a file.
#pragma once

#include "sorvak.h"

#include <map>
#include <ostream>
#include <string>

namespace wavelark::testing {

// One tag set and the text each field should read back as (empty for a field left out).
struct TagCase {
    const char* name;
    SorvakTags tags;
    std::string title;
    std::string artist;
    std::string album;
    std::string year;
    std::string track;  // as the MP3 file states it ("3/12"); the WMA file holds the number only
};

// ASCII, accented and CJK text, missing fields, a track number with and without its count.
extern const TagCase kTagCases[];
extern const std::size_t kTagCaseCount;

// The file's tags as ffprobe reports them (-show_entries format_tags), keyed by ffprobe's names
// ("title", "artist", "album", "date", "track", "WM/Year", ...).
std::map<std::string, std::string> probedTags(const std::string& path);

// The value of one of them; empty when the file has no such tag.
std::string tagOf(const std::map<std::string, std::string>& tags, const std::string& name);

// The file's playing time in seconds as ffprobe reports it: the duration less the audio stream's
// start time (an MP3 file's encoder delay, which ffprobe counts into the duration). -1 when it
// reports no duration.
double probedPlayingTime(const std::string& path);

// Prints a tag case by its name in the test reports.
void PrintTo(const TagCase& tagCase, std::ostream* stream);

}
