// The take's session at start-up: what interrupted work left is finished or cleared as the
// recovery plan says, the take is drawn, and the devices are started.

#include "session/recovery_plan.h"
#include "session/take_session.h"

#include "take/maximise_journal.h"
#include "take/peak_cache.h"
#include "take/raw_take_maximise.h"
#include "take/take_import.h"

#include "tracks/marker_file.h"

#include "core/take_format.h"

#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>
#include <QThread>

namespace wavelark {

namespace {

bool removeFile(const QString& path)
{
    return QFile::remove(path) || !QFile::exists(path);
}

TakeMarkFound takeMarkFound(const DataPaths& paths)
{
    const std::optional<TakeChange> change = readTakeMark(paths);
    if (!change)
        return TakeMarkFound::None;
    if (*change == TakeChange::Import)
        return TakeMarkFound::Import;
    return takeMarkSaysImportReplacing(paths) ? TakeMarkFound::ImportReplacing : TakeMarkFound::Recording;
}

JournalFound journalFound(const std::string& takePath)
{
    switch (readMaximiseJournal(maximiseJournalPath(takePath)).state) {
    case JournalState::Absent:
        // A maximise beside that was stopped before its rename left its copy: the take is as
        // recorded, and is maximised afresh like one whose journal is there.
        return maximiseInterrupted(takePath) ? JournalFound::Present : JournalFound::Absent;
    case JournalState::Valid:
        return JournalFound::Present;
    case JournalState::Damaged:
        break;
    }
    return JournalFound::Damaged;
}

}

void TakeSession::initialise()
{
    m_initialising = true;
    const auto initialised = qScopeGuard([this] { m_initialising = false; });
    const std::string takePath = QFile::encodeName(m_paths.take()).toStdString();
    RecoveryFindings found;
    found.takeMark = takeMarkFound(m_paths);
    found.importSideFile = QFile::exists(QFile::decodeName(importSidePath(takePath).c_str()));
    found.savingMark = QFile::exists(m_paths.savingMark());
    found.journal = journalFound(takePath);
    found.takePresent = QFile::exists(m_paths.take());
    found.takeLength = measureTake();
    const RecoveryPlan plan = planRecovery(found);
    const std::optional<InterruptedSave> interruptedSave = plan.clearSave ? clearInterruptedSave(m_paths) : std::nullopt;
    const bool markRemovable = applyRecovery(plan);

    m_hasTake = QFile::exists(m_paths.take());
    if (m_hasTake && plan.keepSelection)
        m_view->setSelection(m_settings.selectionStart, m_settings.selectionEnd);
    m_takeLength = measureTake();

    m_phase = SessionPhase::Preparing;
    setStatusText(QString::fromLatin1(kRenderingText));
    QCoreApplication::processEvents();
    if (plan.finish != FinishAs::Nothing && m_hasTake)
        prepareTake(QString::fromLatin1(plan.finish == FinishAs::Import ? kImportCaption : kRecordCaption));
    else if (m_hasTake && !loadPeakCache(m_paths.peakCache(), m_view->waveformImage()))
        rebuildWaveform();
    setStatusText(QString());
    QCoreApplication::processEvents();
    m_phase = SessionPhase::Idle;
    m_view->drawSelection();
    // An import finished here replaced the take its markers were found on.
    if (plan.finish == FinishAs::Import)
        clearMarkers(markersPathFor(m_paths));
    loadTrackMarkers();
    m_view->compose();
    m_display.applyControlStates(controlStates(m_phase, m_hasTake));
    if (plan.removeTakeMark)
        reportRecoveredTake(plan, markRemovable);
    if (interruptedSave)
        reportInterruptedSave(*interruptedSave);
    if (m_closed)
        return;
    startDevices();
}

bool TakeSession::applyRecovery(const RecoveryPlan& plan)
{
    bool removed = true;
    if (plan.removeImportSideFile)
        removed = removeFile(QFile::decodeName(importSidePath(QFile::encodeName(m_paths.take()).toStdString()).c_str()));
    if (plan.removeTake)
        removed = removeFile(m_paths.take()) && removed;
    if (plan.removePeakCache)
        QFile::remove(m_paths.peakCache());
    // A maximise that is not finished now leaves nothing to finish later: its journal or its
    // take-sized copy would only take room.
    if (plan.finish == FinishAs::Nothing || !QFile::exists(m_paths.take())) {
        const std::string takePath = QFile::encodeName(m_paths.take()).toStdString();
        removeMaximiseJournal(maximiseJournalPath(takePath));
        removeFile(QFile::decodeName(maximisedSidePath(takePath).c_str()));
    }
    return removed;
}

void TakeSession::reportRecoveredTake(const RecoveryPlan& plan, bool markRemovable)
{
    QString text = recoveryMessageText(plan.message, wholeSecondsText(takeSeconds(m_takeLength)));
    // A mark left in place only repeats this finish at the next start, which changes nothing.
    if (!markRemovable || !removeMark(m_paths.recordingMark()))
        text += QStringLiteral("\n\nThe mark of the interrupted work could not be removed (%1), so this "
                               "will be shown again at the next start.")
                    .arg(m_paths.recordingMark());
    warn(recoveryMessageCaption(plan.message), text);
}

void TakeSession::reportInterruptedSave(const InterruptedSave& save)
{
    QString text = save.batch
                       ? QStringLiteral("The last Save Tracks was interrupted before it was finished, so these files "
                                        "were not saved: %1. The tracks saved before it are kept; the take and its "
                                        "markers are unchanged: save the tracks again.")
                             .arg(save.unsaved.isEmpty() ? QStringLiteral("none")
                                                         : QLatin1Char('"') + save.unsaved.join(QStringLiteral("\", \""))
                                                               + QLatin1Char('"'))
                       : QStringLiteral("The last save was interrupted before it was finished, so \"%1\" was not saved. "
                                        "The take is unchanged: select the part again and save it.")
                             .arg(save.fileName);
    if (!save.leftOver.isEmpty())
        text += QStringLiteral("\n\nWhat the save left could not be removed: %1").arg(save.leftOver.join(QStringLiteral(", ")));
    warn(QString::fromLatin1(save.batch ? kSaveTracksCaption : kSaveCaption), text);
}

void TakeSession::startDevices()
{
    QString captureProblem;
    switch (m_engine->start(&captureProblem)) {
    case CaptureEngine::StartResult::NoInputDevice:
        // The program ends here: what the start-up finished is said first.
        showStartupMessages();
        m_display.error(QString::fromLatin1(kNoInputCaption), QString::fromLatin1(kNoInputText));
        m_display.closeWindow();
        return;
    case CaptureEngine::StartResult::NotOpened:
        warn(QString::fromLatin1(kRecordCaption),
             QStringLiteral("The record device could not be opened (%1), so nothing can be recorded.\n\n"
                            "Choose another one under Settings > Record Device and restart Wavelark.\n"
                            "The current take can still be played and saved.")
                 .arg(captureProblem));
        break;
    case CaptureEngine::StartResult::Started:
        reportMissingDevice(true);
        break;
    }
    QThread::msleep(50);
    if (!m_player->open()) {
        m_playbackProblem = QStringLiteral("The playback device could not be opened, so nothing can be played.\n\n"
                                           "Choose another one under Settings > Playback Device and restart Wavelark.");
        warn(QString::fromLatin1(kPlayCaption), m_playbackProblem);
    } else {
        reportMissingDevice(false);
    }
    showDuration();
    m_view->clearStatusCache();
    m_view->updateStatus();
}

void TakeSession::showStartupMessages()
{
    m_initialising = false;
    for (const auto& [caption, text] : std::exchange(m_startupMessages, {}))
        warn(caption, text);
}

}
