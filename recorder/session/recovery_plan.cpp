#include "session/recovery_plan.h"

namespace wavelark {

RecoveryPlan planRecovery(const RecoveryFindings& found)
{
    RecoveryPlan plan;
    plan.clearSave = found.savingMark;
    // A maximise stopped part-way is finished from its journal whatever else was interrupted (a
    // damaged journal is reported by the finish and the take kept as it stands).
    const bool journal = found.journal != JournalFound::Absent;
    if (found.takeMark == TakeMarkFound::None) {
        if (journal && found.takePresent) {
            plan.finish = FinishAs::Recording;
            plan.keepSelection = false;
        }
        return plan;
    }
    plan.removeTakeMark = true;
    const bool import = found.takeMark == TakeMarkFound::Import || found.takeMark == TakeMarkFound::ImportReplacing;
    // The side file is renamed over the take only after the mark says so: while it exists, or
    // before the mark says so, the take on disk is the one from before the import.
    const bool takeReplaced = found.takeMark == TakeMarkFound::Recording
                              || (found.takeMark == TakeMarkFound::ImportReplacing && !found.importSideFile);
    if (import)
        plan.removeImportSideFile = found.importSideFile;
    if (!takeReplaced) {
        if (journal && found.takePresent)
            plan.finish = FinishAs::Import;
        plan.keepSelection = !journal;
        plan.message = found.takePresent ? RecoveryMessage::ImportKeptTake : RecoveryMessage::ImportKeptNoTake;
        return plan;
    }
    plan.keepSelection = false;
    if (found.takeLength == 0) {
        // Nothing was kept of the interrupted take: neither it nor the earlier take's picture stays.
        plan.removeTake = found.takePresent;
        plan.removePeakCache = true;
        plan.message = import ? RecoveryMessage::ImportEmpty : RecoveryMessage::RecordingEmpty;
        return plan;
    }
    plan.finish = import ? FinishAs::Import : FinishAs::Recording;
    plan.message = import ? RecoveryMessage::ImportFinished : RecoveryMessage::RecordingFinished;
    return plan;
}

QString recoveryMessageText(RecoveryMessage message, const QString& length)
{
    switch (message) {
    case RecoveryMessage::None:
        break;
    case RecoveryMessage::RecordingFinished:
        return QStringLiteral("The last recording was interrupted before it was stopped.\n\n"
                              "Its take has been recovered and finished as Stop would have done: %1 of audio.")
            .arg(length);
    case RecoveryMessage::RecordingEmpty:
        return QStringLiteral("The last recording was interrupted before any audio was kept, so there is no take.");
    case RecoveryMessage::ImportKeptTake:
        return QStringLiteral("The last import was interrupted before its audio replaced the take, so the take is "
                              "the one from before it.");
    case RecoveryMessage::ImportKeptNoTake:
        return QStringLiteral("The last import was interrupted before its audio replaced the take, so there is "
                              "still no take.");
    case RecoveryMessage::ImportFinished:
        return QStringLiteral("The last import was interrupted after its audio replaced the take.\n\n"
                              "The take has been finished as the import would have done: %1 of audio.")
            .arg(length);
    case RecoveryMessage::ImportEmpty:
        return QStringLiteral("The last import was interrupted before any audio was kept, so there is no take.");
    }
    return QString();
}

QString recoveryMessageCaption(RecoveryMessage message)
{
    const bool import = message == RecoveryMessage::ImportKeptTake || message == RecoveryMessage::ImportKeptNoTake
                        || message == RecoveryMessage::ImportFinished || message == RecoveryMessage::ImportEmpty;
    return import ? QStringLiteral("IMPORT") : QStringLiteral("RECORD");
}

}
