// The playlist of a saved side: an extended M3U in UTF-8 (.m3u8) naming each track's file beside
// it, with its length and "artist - title". Pure function, any thread.
#pragma once

#include "tracks/side_tracks.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wavelark {

// A track's length as the playlist gives it: whole seconds, rounded to the nearest (a half
// rounds up).
uint64_t playlistSeconds(uint64_t frames);

// "#EXTM3U", then per track "#EXTINF:<seconds>,<artist> - <title>" ("<title>" alone without an
// artist; an empty title is the default "Track NN") and the track's file name relative to the
// playlist. Lines end in LF; line breaks in the texts become blanks; a file name that would read
// as a comment line (starting with '#') is written "./" first.
std::string sidePlaylist(const SideTags& tags, const std::vector<SideTrack>& tracks);

}
