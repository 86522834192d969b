// What the start-up does about work that a crash, a kill or a power loss interrupted, decided
// from what is found in the data folder alone: which take to finish (and as what), what to
// remove, whether the stored selection still belongs to the take, and what to tell the user.
// TakeSession::initialise gathers the findings and carries the plan out. Pure; any thread.
#pragma once

#include <QString>

#include <cstdint>

namespace wavelark {

// What the take mark says (session/work_marks.h).
enum class TakeMarkFound {
    None,
    Recording,        // a recording, or a mark too old or damaged to say more
    Import,           // an import that had not started to replace the take
    ImportReplacing,  // an import whose audio was being renamed over the take
};

enum class JournalFound { Absent, Present, Damaged };

struct RecoveryFindings {
    TakeMarkFound takeMark = TakeMarkFound::None;
    bool importSideFile = false;  // recording.raw.import
    bool savingMark = false;
    JournalFound journal = JournalFound::Absent;  // the raw take maximise's journal, or its copy beside
    bool takePresent = false;
    uint32_t takeLength = 0;      // bytes
};

// The start-up message about the take, when a take mark was found.
enum class RecoveryMessage {
    None,
    RecordingFinished,   // the recording's take was finished: "... %1 of audio."
    RecordingEmpty,      // the recording kept nothing
    ImportKeptTake,      // the import had not replaced the take: the take is the one from before
    ImportKeptNoTake,    // as ImportKeptTake, where there was no take before either
    ImportFinished,      // the import's take was finished: "... %1 of audio."
    ImportEmpty,         // the import kept nothing
};

enum class FinishAs { Nothing, Recording, Import };

struct RecoveryPlan {
    // Maximise (or resume the journal's maximise) and draw the take afresh, as Stop or an import
    // would have; the caption of any failure message follows it.
    FinishAs finish = FinishAs::Nothing;
    // The stored selection still belongs to the take on disk.
    bool keepSelection = true;
    bool removeImportSideFile = false;
    // An empty take and its earlier picture go, so no take is left to show.
    bool removeTake = false;
    bool removePeakCache = false;
    // The take mark goes once the plan has been carried out (it stays when a removal fails).
    bool removeTakeMark = false;
    // Clear what an interrupted save left (session/work_marks.h clearInterruptedSave).
    bool clearSave = false;
    RecoveryMessage message = RecoveryMessage::None;
};

RecoveryPlan planRecovery(const RecoveryFindings& found);

// The message's text; length is the finished take's duration ("0:05"). Empty for None.
QString recoveryMessageText(RecoveryMessage message, const QString& length);
// The message's caption: "IMPORT" for an import's, else "RECORD".
QString recoveryMessageCaption(RecoveryMessage message);

}
