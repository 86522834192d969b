// The marks the recorder leaves in its data folder while it changes the take or saves from it,
// so that a start after a crash, a kill or a power loss can tell what was interrupted and finish
// or clear it. Each mark and its folder entry reach stable storage before the work starts.
// Window thread.
#pragma once

#include "core/data_folders.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

namespace wavelark {

// What the take mark says was changing the take.
enum class TakeChange { Recording, Import };

// Writes the take mark naming the change and a new random take id (newTakeId), replacing any mark
// whole (core/file_toolbox.h). Empty on success, else the system's reason.
QString writeTakeMark(const DataPaths& paths, TakeChange change);

// The change the take mark names; nothing without a mark. An empty or unknown mark is a
// recording, as marks were before imports had one.
std::optional<TakeChange> readTakeMark(const DataPaths& paths);

// Rewrites the take mark of an import just before its audio is renamed over the take, so that a
// start after a kill can tell the take replaced from the take kept. Empty on success, else the
// system's reason (the mark may then still say "import", or nothing).
QString writeImportReplacingMark(const DataPaths& paths);

// Whether the take mark is the one writeImportReplacingMark writes (readTakeMark, which knows
// nothing of it, reads it as a recording).
bool takeMarkSaysImportReplacing(const DataPaths& paths);

// The take id the take mark names: 32 hex digits, the take's name in its maximise journal, which
// travels with the data folder to another disk. Empty without a mark or for a mark written before
// ids (an empty or "import" mark), whose take is then matched as before ids.
std::string readTakeId(const DataPaths& paths);

// A new random take id: 32 lower-case hex digits.
std::string newTakeId();

// Writes the saving mark naming the side file the save writes in the archive folder and the
// file's own name (the side file of a long name is a shortened one). Empty on success, else the
// system's reason.
QString writeSavingMark(const DataPaths& paths, const QString& sidePath, const QString& fileName = QString());

// A file a batch of tracks is writing: the side file it is written into (a ".part" file in the
// archive folder) and the file's own name.
struct BatchFile {
    QString sidePath;
    QString fileName;
};

// Writes the saving mark of a batch of tracks, naming every file of the batch not yet in place;
// rewritten as each one is placed, so that it always names the files still missing. Empty on
// success, else the system's reason.
QString writeBatchSavingMark(const DataPaths& paths, const QList<BatchFile>& files);

// The temporary WAV of track number (1-based) of a batch, in the data folder: "temp-NN.wav".
QString batchTemporaryWav(const DataPaths& paths, int number);

// Removes a mark; a missing one is no failure.
bool removeMark(const QString& path);

// What an interrupted save left, cleared at start-up.
struct InterruptedSave {
    QString fileName;     // the file that was being saved, as the archive would have listed it
    QStringList leftOver; // files that could not be removed
    bool batch = false;   // a batch of tracks: its files that were not written are in unsaved
    QStringList unsaved;
};

// Clears what an interrupted save left: the side files its mark names (only ".part" files), the
// temporary WAVs (a batch's too) and the mark. Nothing when no save was interrupted.
std::optional<InterruptedSave> clearInterruptedSave(const DataPaths& paths);

}
