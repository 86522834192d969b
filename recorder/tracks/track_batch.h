// Save Tracks: what the user chose for saving every track of a side at once, and the pure parts
// of that batch: each track's range of the take and file name, the side's one maximise gain, the
// short fades at each cut, each track's tags, and the side's cue sheet and playlist entries.
// Plain values and pure functions, any thread.
#pragma once

#include "tracks/side_tracks.h"
#include "tracks/track_markers.h"

#include "take/fade_pass.h"
#include "take/save_conversion.h"
#include "take/save_result.h"

#include "sorvak.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wavelark {

// The loudest sample the side's maximise may reach.
enum class PeakCeiling { ZeroDbfs = 0, MinusOneDbfs = 1 };

// What the Save Tracks dialog hands to the batch.
struct TrackBatchChoices {
    SideTags tags;
    std::vector<std::string> titles;  // titles[i] is track i + 1; UTF-8, may be empty
    SaveFormat format = SaveFormat::Mp3;
    SaveQuality quality = SaveQuality::High;
    bool fadesOn = false;             // a short fade in and out at each cut
    uint32_t fadeMilliseconds = 0;
    bool maximiseOn = false;          // one gain for the whole side
    PeakCeiling ceiling = PeakCeiling::ZeroDbfs;
};

// One track of the batch.
struct BatchTrack {
    int number = 0;        // 1-based
    std::string title;     // as the user gave it (the file name holds its safe form)
    SaveRange range;       // bytes of the raw take
    std::string fileName;  // "NN Title.ext"
};

// The tracks the markers cut the take into, titled from titles (a missing title is empty), each
// named by trackFileNames with the format's extension and nameLimit. Nothing when there is no
// marker or a track lies past what a save range can hold.
std::vector<BatchTrack> batchTracks(const TrackMarkers& markers, const std::vector<std::string>& titles,
                                    SaveFormat format, std::size_t nameLimit);

// The largest sample value the ceiling allows: 32767 at 0 dBFS, 32767 x 10^(-1/20) at -1 dBFS.
double ceilingSample(PeakCeiling ceiling);

// The side's maximise gain: the ceiling over the side's peak (the largest sample of every track
// together), so that each song keeps its level relative to the others. 1.0 with the maximise
// off or without a positive sample. It may be below 1 where the side already peaks above the
// ceiling.
double sideMaximiseGain(int16_t sidePeak, const TrackBatchChoices& choices);

// The fades of every track: in at its start and out at its end, both choices.fadeMilliseconds
// long when the fades are on; the maximise of the single save stays off (the side's gain is
// applied instead).
FadeSettings cutFades(const TrackBatchChoices& choices);

// The tags a track's file carries; the texts point into tags and track, which must outlive it.
SorvakTags trackTags(const SideTags& tags, const BatchTrack& track, int total);

// The tracks as the cue sheet and the playlist list them (one file per track).
std::vector<SideTrack> sideTrackList(const std::vector<BatchTrack>& tracks);

// The base name of the side's cue sheet and playlist: the album made safe for a file name, or
// "Side" without an album; at most nameLimit bytes with the longer of the two extensions.
std::string sideFileBase(const SideTags& tags, std::size_t nameLimit);

}
