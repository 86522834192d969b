// What the side's cue sheet and playlist are made of: the tags of the whole side and, per track,
// its title, the file it was saved to and where it lies on the side. Plain values, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavelark {

// The tags the user gives the whole side; UTF-8, any of them may be empty.
struct SideTags {
    std::string album;
    std::string artist;
    std::string year;
};

// One track of the side. Positions are take frames at 44100 Hz (core/take_format.h).
struct SideTrack {
    std::string title;     // UTF-8, as the user gave it (the file name holds its safe form)
    std::string fileName;  // the track's file, relative to the folder the cue sheet and playlist go into
    uint64_t startFrame = 0;  // where the track starts in the file the cue sheet indexes (whole-side form)
    uint64_t frames = 0;      // the track's length
};

}
