// The file names of a side's tracks: "NN Title.ext", NN the track number in two digits (three when
// the side has 100 tracks or more), the title made safe for a file name. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wavelark {

// The longest file name most Linux file systems allow, in bytes (NAME_MAX).
inline constexpr std::size_t kCommonNameLimit = 255;

// The title a track has until the user names it: "Track 01", "Track 02" ... (the number as wide as
// in the file names).
std::string defaultTrackTitle(int number, int total);

// The title of track number (1-based) of total made safe as a part of a file name: '/' becomes
// '-', a double quote becomes a single one (the cue sheet names the file between double quotes and
// cannot hold one), NUL and other control characters become blanks; leading blanks and dots (a
// hidden file) and trailing blanks are trimmed; what is left empty falls back to
// defaultTrackTitle. The input is taken as UTF-8; a malformed byte becomes '?'.
std::string safeTrackTitle(std::string_view title, int number, int total);

// The file name of track number of total: "NN Title.ext", extension without its dot. The name
// holds at most nameLimit bytes: the title is cut on a UTF-8 character boundary (and trimmed
// again) to fit. Pass the folder's limit (pathconf's _PC_NAME_MAX) less any suffix a writer adds
// while it writes (".part"). When not one character of the title fits, the name is "NN.ext".
std::string trackFileName(int number, int total, std::string_view title, std::string_view extension,
                          std::size_t nameLimit);

// The file names of all tracks of a side, titles[i] being track i + 1. They differ from each
// other, since each carries its own number.
std::vector<std::string> trackFileNames(const std::vector<std::string>& titles, std::string_view extension,
                                        std::size_t nameLimit);

// text on one line: every control character (a line break, a tab, NUL) becomes a blank.
std::string singleLineText(std::string_view text);

// The number of bytes of the UTF-8 text that form whole characters within at most limit bytes.
std::size_t utf8Prefix(std::string_view text, std::size_t limit);

}
