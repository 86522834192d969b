// The take's session's Import command: a file in place of the take, which stays with its picture
// and selection until the new take is complete.

#include "session/progress_reporter.h"
#include "session/take_session.h"

#include "take/import_examination.h"
#include "take/take_import.h"

#include <QCoreApplication>
#include <QFile>

namespace wavelark {

bool TakeSession::import(const QString& path)
{
    if (m_phase != SessionPhase::Idle)
        return false;
    // A file that cannot be imported is refused before the take is put at stake by the question.
    const ImportExamination examination = examineImport(QFile::encodeName(path).toStdString());
    if (examination.way == ImportWay::Refused) {
        warn(QString::fromLatin1(kImportCaption),
             QString::fromStdString(examination.message + " The current recording was kept."));
        return false;
    }
    if (!m_display.ask(QString::fromLatin1(kConfirmImportCaption), QString::fromLatin1(kConfirmImportText)))
        return false;
    enterPhase(SessionPhase::Importing);
    m_display.clearHealth();
    m_display.setProgress(0);
    const ProgressRoute conversion(conversionProgress(m_display, ProgressActivity::Importing));
    // From here to the end of the take's preparation a kill is finished at the next start: the
    // mark says "import" until the new take is about to replace the old one, then "replacing".
    QString markProblem = writeTakeMark(m_paths, TakeChange::Import);
    // The old take, its picture and selection stay until the new take is complete.
    const ImportResult result = importIntoTake(
        QFile::encodeName(path).toStdString(), QFile::encodeName(m_paths.take()).toStdString(),
        [this](int percent) {
            setStatusText(QStringLiteral(" Importing Audio File ...%1 %").arg(percent));
            QCoreApplication::processEvents();
            m_display.setProgress(percent);
        },
        &progressReporter,
        [this]() -> std::string {
            // Without this mark a kill after the rename would look like an import that never
            // replaced the take: the next start would keep the old picture for the new audio.
            const QString problem = writeImportReplacingMark(m_paths);
            if (problem.isEmpty())
                return {};
            return QStringLiteral("its mark could not be written (%1). The take is unchanged.")
                .arg(problem)
                .toStdString();
        });
    m_display.setProgress(0);
    if (!result.ok()) {
        removeMark(m_paths.recordingMark());
        enterPhase(SessionPhase::Idle);
        showDuration();
        warn(QString::fromLatin1(kImportCaption), QString::fromStdString(result.message));
        return false;
    }
    m_hasTake = true;
    m_view->clearWaveform();
    m_view->clearComposed();
    m_view->clearSelectionImage();
    m_view->setSelection(0, 0);
    clearTrackMarkers();
    m_player->setPlayCursor(0.0);
    m_view->compose();
    // The phase stays Importing until the new take is drawn: the sliders rest until then.
    prepareTake(QString::fromLatin1(kImportCaption));
    const bool markRemoved = removeMark(m_paths.recordingMark());
    enterPhase(SessionPhase::Idle);
    if (!markProblem.isEmpty())
        warn(QString::fromLatin1(kImportCaption),
             QStringLiteral("The file was imported, but the mark of the import could not be written (%1): had "
                            "Wavelark been interrupted, the take would not have been finished at the next start.")
                 .arg(markProblem));
    else if (!markRemoved)
        warn(QString::fromLatin1(kImportCaption),
             QStringLiteral("The take is complete, but the mark of its import could not be removed (%1), so the "
                            "take will be finished again at the next start.")
                 .arg(m_paths.recordingMark()));
    return true;
}

}
