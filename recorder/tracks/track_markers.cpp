#include "tracks/track_markers.h"

#include "core/take_format.h"

#include <algorithm>

namespace wavelark {

TrackMarkers::TrackMarkers(uint64_t takeBytes)
    : m_takeBytes(takeBytes), m_end(takeFrames())
{
}

uint64_t TrackMarkers::takeFrames() const
{
    return m_takeBytes / kTakeFrameBytes;
}

bool TrackMarkers::add(uint64_t frame, std::string title)
{
    const auto place = std::lower_bound(m_markers.begin(), m_markers.end(), frame,
                                        [](const TrackMarker& marker, uint64_t at) { return marker.frame < at; });
    if (frame >= m_end || (place != m_markers.end() && place->frame == frame))
        return false;
    m_markers.insert(place, TrackMarker{frame, std::move(title)});
    return true;
}

bool TrackMarkers::move(std::size_t index, uint64_t frame)
{
    if (index >= m_markers.size())
        return false;
    const uint64_t lowest = index == 0 ? 0 : m_markers[index - 1].frame + 1;
    const uint64_t highest = (index + 1 == m_markers.size() ? m_end : m_markers[index + 1].frame) - 1;
    const uint64_t held = std::clamp(frame, lowest, highest);
    if (held == m_markers[index].frame)
        return false;
    m_markers[index].frame = held;
    return true;
}

bool TrackMarkers::remove(std::size_t index)
{
    if (index >= m_markers.size())
        return false;
    m_markers.erase(m_markers.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool TrackMarkers::setTitle(std::size_t index, std::string title)
{
    if (index >= m_markers.size() || m_markers[index].title == title)
        return false;
    m_markers[index].title = std::move(title);
    return true;
}

bool TrackMarkers::setEnd(uint64_t frame)
{
    const uint64_t lowest = m_markers.empty() ? 0 : m_markers.back().frame + 1;
    const uint64_t held = std::clamp(frame, lowest, takeFrames());
    if (held == m_end)
        return false;
    m_end = held;
    return true;
}

uint64_t TrackMarkers::trackEnd(std::size_t index) const
{
    if (index >= m_markers.size())
        return 0;
    return index + 1 == m_markers.size() ? m_end : m_markers[index + 1].frame;
}

std::optional<std::size_t> TrackMarkers::trackAt(uint64_t frame) const
{
    const auto after = std::upper_bound(m_markers.begin(), m_markers.end(), frame,
                                        [](uint64_t at, const TrackMarker& marker) { return at < marker.frame; });
    if (after == m_markers.begin() || frame >= m_end)
        return std::nullopt;
    return static_cast<std::size_t>(after - m_markers.begin() - 1);
}

}
