// The file beside the take that keeps its track markers (tracks/track_markers.h), so that a crash
// or a restart keeps them. The file names the take it belongs to (its id and length) and is
// replaced whole (core/file_toolbox.h); a file that is damaged, cut short, foreign or written for
// another take is refused whole, with the reason, never read in part. Plain functions for one
// thread at a time; one writer per file.
#pragma once

#include "core/data_folders.h"
#include "core/file_toolbox.h"
#include "tracks/track_markers.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace wavelark {

// Where the take's markers are kept: "recording.markers" in the data folder.
QString markersPathFor(const DataPaths& paths);

// Writes markers for the take named by takeId (the take mark's id, 32 hex digits, or empty for a
// take from before ids) and of markers.takeBytes(), replacing the file whole. Nothing on success.
std::optional<FileFailure> writeMarkers(const QString& path, const TrackMarkers& markers, const std::string& takeId);

// Why a marker file was not read.
struct MarkerFileProblem {
    enum class Kind {
        Missing,     // no file: the take has no markers yet
        Unreadable,  // the system would not let it be read
        Damaged,     // cut short, changed, or not a marker file
        OtherTake    // a sound marker file, written for another take
    };
    Kind kind = Kind::Damaged;
    std::string reason;  // in English, for the log or a message
};

// The markers kept at path for the take named by takeId and of takeBytes, or why there are none.
std::variant<TrackMarkers, MarkerFileProblem> readMarkers(const QString& path, const std::string& takeId,
                                                          uint64_t takeBytes);

// Removes the marker file (a new take or an import has no markers). False only when a file is
// there and could not be removed.
bool clearMarkers(const QString& path);

}
