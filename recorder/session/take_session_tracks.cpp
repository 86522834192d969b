// The take's session's track markers: Find Tracks, and the markers kept beside the take across a
// restart and cleared for a new take.
//
// The marker file names its take by the take's length and an empty id: the take's id lives in its
// recording mark, which is gone once the take is finished, so a take replaced by one of the same
// length in bytes between two runs would keep the markers (a new take clears them itself).

#include "session/take_session.h"

#include "tracks/break_finder.h"
#include "tracks/level_profile.h"
#include "tracks/marker_file.h"

#include "core/take_format.h"

#include <QCoreApplication>
#include <QFile>

#include <string>
#include <variant>

namespace wavelark {

bool TakeSession::findTracks()
{
    if (m_phase != SessionPhase::Idle || !m_hasTake || !m_view)
        return false;
    const QString caption = QString::fromLatin1(kFindTracksCaption);
    m_takeLength = measureTake();
    std::string error;
    PcmRegion region;
    std::optional<LevelProfile> profile;
    if (region.openForReading(QFile::encodeName(m_paths.take()).toStdString(), 0, 0, &error))
        profile = readLevelProfile(region, &error);
    if (!profile) {
        warn(caption, QStringLiteral("The take could not be read (%1), so no tracks were found.")
                          .arg(QString::fromLocal8Bit(error.c_str())));
        return false;
    }
    const TrackProposal proposal = proposeTracks(*profile);
    TrackMarkers markers(m_takeLength);
    for (const Track& track : proposal.tracks)
        markers.add(track.startFrame);
    if (!proposal.tracks.empty())
        markers.setEnd(proposal.tracks.back().endFrame);
    m_markers = std::move(markers);
    showTrackMarkers();
    m_view->compose();
    setStatusText(QStringLiteral(" Tracks : %1").arg(m_markers.size()));
    keepTrackMarkers(caption);
    return true;
}

void TakeSession::keepTrackMarkers(const QString& caption)
{
    if (const std::optional<FileFailure> failure = writeMarkers(markersPathFor(m_paths), m_markers, std::string())) {
        warn(caption, QStringLiteral("The tracks are shown, but they could not be kept beside the take (%1), so "
                                     "they will be gone at the next start.")
                          .arg(QString::fromStdString(failure->reason())));
    }
}

void TakeSession::loadTrackMarkers()
{
    const QString path = markersPathFor(m_paths);
    m_markers = TrackMarkers(m_takeLength);
    if (m_hasTake) {
        auto read = readMarkers(path, std::string(), m_takeLength);
        if (auto* markers = std::get_if<TrackMarkers>(&read))
            m_markers = std::move(*markers);
        else if (std::get<MarkerFileProblem>(read).kind != MarkerFileProblem::Kind::Missing)
            clearMarkers(path);
    } else {
        // Markers without their take mark nothing.
        clearMarkers(path);
    }
    showTrackMarkers();
}

void TakeSession::clearTrackMarkers()
{
    clearMarkers(markersPathFor(m_paths));
    m_markers = TrackMarkers(m_takeLength);
    showTrackMarkers();
}

void TakeSession::showTrackMarkers()
{
    std::vector<uint64_t> frames;
    for (const TrackMarker& marker : m_markers.markers())
        frames.push_back(marker.frame);
    m_view->setTrackMarkers(std::move(frames), m_markers.end());
}

}
