// The track markers of a take: where each track of the side starts, its title, and where the
// last track ends (the run-out left out), as the view edits them and the marker file keeps them.
// A plain value for one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wavelark {

// The start of a track: a take frame and the track's title (UTF-8, may be empty).
struct TrackMarker {
    uint64_t frame = 0;
    std::string title;
    bool operator==(const TrackMarker&) const = default;
};

// The markers of one take: track starts in increasing frame order, no two at one frame, all
// before end(); end() lies after the last marker and within the take. Every operation keeps this
// and says whether it changed anything; one that would break it changes nothing.
class TrackMarkers {
public:
    // No marker yet; the last track ends where the take does.
    explicit TrackMarkers(uint64_t takeBytes = 0);

    uint64_t takeBytes() const { return m_takeBytes; }
    uint64_t takeFrames() const;
    // Where the last track ends.
    uint64_t end() const { return m_end; }
    const std::vector<TrackMarker>& markers() const { return m_markers; }
    std::size_t size() const { return m_markers.size(); }
    bool empty() const { return m_markers.empty(); }

    // Adds a track start at frame, between the markers around it. False when frame is at or past
    // end() or a marker is there already.
    bool add(uint64_t frame, std::string title = {});
    // Moves marker index to frame, held strictly between its neighbours and before end(), so that
    // a drag never reorders the tracks nor drops one. False when index is out of range or the
    // held frame is where the marker is.
    bool move(std::size_t index, uint64_t frame);
    bool remove(std::size_t index);
    bool setTitle(std::size_t index, std::string title);
    // Moves the end of the last track, held after the last marker and within the take.
    bool setEnd(uint64_t frame);

    // Where track index ends: the next track's start, or end() for the last one (0 for no track).
    uint64_t trackEnd(std::size_t index) const;
    // The index of the track holding frame: the last marker at or before it; nothing before the
    // first marker or from end() on.
    std::optional<std::size_t> trackAt(uint64_t frame) const;

    bool operator==(const TrackMarkers&) const = default;

private:
    uint64_t m_takeBytes = 0;
    uint64_t m_end = 0;
    std::vector<TrackMarker> m_markers;
};

}
