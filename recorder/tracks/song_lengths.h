// The song lengths printed on a sleeve, as a user types them: "3:12, 4:05, 2:58".
//
// Thread: a pure function, callable from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavelark {

// Parses comma-separated lengths, each minutes, a colon and two digits of seconds (00..59);
// spaces around the commas are allowed, minutes are 0..999 and a length is above zero; at most
// kMostSongLengths lengths (the fit's work grows with their square). The lengths in seconds, or
// nothing with the reason in error (the entry that failed, counted from 1).
inline constexpr std::size_t kMostSongLengths = 999;
std::optional<std::vector<double>> parseSongLengths(std::string_view text, std::string* error = nullptr);

}
