// The cue sheet of a saved side: the side's performer and album, then its tracks with their
// titles, either one file per track (each track indexed at its file's start) or one file of the
// whole side indexed at each track's start. Pure functions, any thread.
#pragma once

#include "tracks/side_tracks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavelark {

// A cue sheet counts tracks in two digits.
inline constexpr std::size_t kMostCueTracks = 99;

// A position on the side as a cue sheet writes it, "mm:ss:ff" with 75 frames a second, from a
// frame position at 44100 Hz, rounded down to the cue frame it lies in (exact integer arithmetic).
// Minutes take as many digits as they need past two.
std::string cueTime(uint64_t takeFrame);

// The cue sheet of tracks, each saved in its own file (SideTrack::fileName), in UTF-8 without a
// byte-order mark, lines ending in LF. Text values are written between double quotes: a double
// quote in them becomes a single one, a line break or other control character a blank. Nothing
// when the side has no track or more than kMostCueTracks.
std::optional<std::string> trackFilesCueSheet(const SideTags& tags, const std::vector<SideTrack>& tracks);

// The cue sheet of one file holding the whole side (sideFileName), each track indexed at its
// SideTrack::startFrame in that file; the tracks' own file names are not used. Otherwise as
// trackFilesCueSheet.
std::optional<std::string> wholeSideCueSheet(const SideTags& tags, const std::vector<SideTrack>& tracks,
                                             std::string_view sideFileName);

// The cue sheet's type of an audio file, from its name's extension: "MP3", "AIFF", else "WAVE"
// (what readers expect for every other audio format).
std::string cueFileType(std::string_view fileName);

}
