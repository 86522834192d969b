// The take's session as the waveform view's host for what the view edits itself: the zoomed
// waveform's columns read from the take, the track markers moved, added and removed in the view,
// and the player started over the view's selection to the frame.

#include "session/take_session.h"

#include "widgets/zoom_window.h"

#include "core/take_format.h"

#include <QFile>

#include <algorithm>

namespace wavelark {

namespace {

inline constexpr char kMarkersCaption[] = "TRACK MARKERS";

}

bool TakeSession::zoomedColumns(uint64_t firstFrame, double framesPerPixel, int width, std::vector<Column>& columns)
{
    columns.clear();
    std::vector<ColumnExtremes> extremes;
    std::string error;
    if (!m_hasTake || !m_zoomedPeaks.read(firstFrame, framesPerPixel, width, extremes, &error))
        return false;
    columns.reserve(extremes.size());
    for (const ColumnExtremes& column : extremes)
        columns.push_back(Column{column.maximum, column.minimum});
    return true;
}

bool TakeSession::moveTrackMarker(std::size_t index, uint64_t frame)
{
    if (m_phase == SessionPhase::Recording || !m_hasTake)
        return false;
    const bool moved = m_markers.move(index, frame);
    // The view moved its own copy: it is handed the markers as they are, moved or not.
    showTrackMarkers();
    if (moved)
        keepTrackMarkers(QString::fromLatin1(kMarkersCaption));
    return moved;
}

bool TakeSession::addTrackMarker(uint64_t frame)
{
    if (m_phase == SessionPhase::Recording || !m_hasTake)
        return false;
    // A take without markers yet: its last track ends where the take does.
    if (m_markers.takeBytes() != m_takeLength && m_markers.empty())
        m_markers = TrackMarkers(m_takeLength);
    if (!m_markers.add(frame))
        return false;
    showTrackMarkers();
    keepTrackMarkers(QString::fromLatin1(kMarkersCaption));
    return true;
}

bool TakeSession::removeTrackMarker(std::size_t index)
{
    if (m_phase == SessionPhase::Recording || !m_markers.remove(index))
        return false;
    showTrackMarkers();
    keepTrackMarkers(QString::fromLatin1(kMarkersCaption));
    return true;
}

void TakeSession::playFromFrame(uint64_t frame)
{
    if (m_player->playing())
        playCommand();
    m_tail = false;
    m_playFrom = frame;
    playCommand();
    m_playFrom.reset();
}

bool TakeSession::startPlayer(std::optional<uint64_t> fromFrame)
{
    const ZoomWindow whole(m_takeLength);
    if (fromFrame) {
        const auto at = wholeFrames(static_cast<uint32_t>(std::min<uint64_t>(*fromFrame * kTakeFrameBytes, m_takeLength)));
        const double column = whole.columnOf(*fromFrame);
        return m_player->startPlayingBytes(at, at, column, column, false);
    }
    const auto exact = m_view->exactSelection();
    if (!exact)
        return m_player->startPlaying(m_view->firstEdge(), m_view->secondEdge(), m_tail);
    const auto byteOf = [this](uint64_t frame) {
        return wholeFrames(static_cast<uint32_t>(std::min<uint64_t>(frame * kTakeFrameBytes, m_takeLength)));
    };
    const uint64_t smaller = std::min(exact->first, exact->second);
    const uint64_t larger = std::max(exact->first, exact->second);
    return m_player->startPlayingBytes(byteOf(smaller), byteOf(larger), whole.columnOf(smaller),
                                       whole.columnOf(exact->first), m_tail);
}

}
