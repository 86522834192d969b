// The break finder: proposes where a side (a record side or a tape side of some 15-25 minutes)
// splits into its songs, from the side's level profile alone.
//
// Three ways to ask (TrackRequest):
//   - nothing: every convincing gap (confidence at least kConvincingConfidence);
//   - the number of songs N: the N - 1 best gaps; where the side has fewer, the quietest points of
//     the longest tracks, with a low confidence (a medley, a live record). Fewer than N tracks only
//     when the side is too short to hold N tracks of kShortestTrackSeconds;
//   - the sleeve's song lengths: the gaps whose positions best fit the lengths, song by song
//     (dynamic programming over the candidates; a few seconds off per song is fine, a gap the side
//     lacks becomes the quietest point near where it should be, a gap too many is left out).
// The lead-in before the first song and the run-out after the last are trimmed. Tracks follow one
// another: each break ends a track and starts the next.
//
// Units: frames of 44100 Hz (kLevelWindowFrames to a profile window); confidence 0..1.
// Thread: pure functions, callable from any thread; nothing is shared.
// Memory: a few copies of the profile (4 bytes per 10 ms: under 3 MB for a 20-minute side) and,
// with lengths, a table of songs × candidates.
#pragma once

#include "tracks/level_profile.h"

#include <cstdint>
#include <vector>

namespace wavelark {

inline constexpr float kConvincingConfidence = 0.5f;
inline constexpr double kShortestTrackSeconds = 15.0;
// What is kept before the first song and after the last.
inline constexpr double kEdgeMarginSeconds = 0.25;

struct TrackRequest {
    int songs = 0;                    // above 0: this many songs
    std::vector<double> lengthsSeconds; // not empty: the sleeve's lengths (songs is then ignored)
};

struct Track {
    uint64_t startFrame = 0;
    uint64_t endFrame = 0; // exclusive
};

struct TrackBreak {
    uint64_t frame = 0;   // the end of one track and the start of the next
    float confidence = 0; // 0..1: how sure the finder is that a song ends here
};

struct TrackProposal {
    std::vector<Track> tracks;       // in order; empty only for an empty profile
    std::vector<TrackBreak> breaks;  // tracks.size() - 1 of them, in order
};

TrackProposal proposeTracks(const LevelProfile& profile, const TrackRequest& request = {});

}
