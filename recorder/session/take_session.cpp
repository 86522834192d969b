#include "session/take_session.h"

#include "session/progress_reporter.h"

#include "take/maximise_journal.h"
#include "take/peak_cache.h"
#include "take/raw_take_maximise.h"
#include "take/take_import.h"

#include "archive/archive_list.h"

#include "core/identifiers.h"
#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include "widgets/skin.h"

#include "sorvak_widgets.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace wavelark {

namespace {

// Long steps on the window thread let the window repaint between blocks. Every command checks
// the session's phase first, so nothing the user or a posted call starts there can re-enter.
void pumpMessages()
{
    QCoreApplication::processEvents();
}

DeviceChoice recordChoice(const Settings& settings)
{
    return {settings.recordDevice, settings.bufferSize, settings.bufferCount};
}

DeviceChoice playbackChoice(const Settings& settings)
{
    return {settings.playbackDevice, settings.bufferSize, settings.bufferCount};
}

}

TakeSession::TakeSession(Settings& settings, const DataPaths& paths, QMainWindow& window, const Skin& skin)
    : m_settings(settings)
    , m_paths(paths)
    , m_window(window)
    , m_skin(skin)
{
    m_engine = std::make_unique<CaptureEngine>(
        paths.take(), recordChoice(settings), m_monitor,
        CaptureEngine::Handlers{[this](double elapsed) { setStatusText(recordingStatusText(elapsed)); },
                                [this] { finishRecording(); }});
    m_player = std::make_unique<TakePlayer>(paths.take(), playbackChoice(settings), m_monitor, [this] {
        if (m_player->playing())
            playCommand();
    });
    m_freeSpace = [folder = paths.folder]() -> std::optional<uint64_t> {
        QStorageInfo storage(folder);
        if (!storage.isValid() || storage.bytesAvailable() < 0)
            return std::nullopt;
        return static_cast<uint64_t>(storage.bytesAvailable());
    };
    m_engine->setRecordEnabled(settings.recordEnabled != 0);
    m_player->setPlayEnabled(settings.playEnabled != 0);
    m_monitor.setThru(settings.monitorThru != 0);
}

TakeSession::~TakeSession()
{
    close();
}

void TakeSession::initialise()
{
    m_initialising = true;
    const auto initialised = qScopeGuard([this] { m_initialising = false; });
    const std::string takePath = QFile::encodeName(m_paths.take()).toStdString();
    const std::optional<TakeChange> interrupted = readTakeMark(m_paths);
    const std::optional<InterruptedSave> interruptedSave = clearInterruptedSave(m_paths);
    // An import stopped before its audio replaced the take left the take, and its picture, as
    // they were: only its side file goes.
    const QString importSide = QFile::decodeName(importSidePath(takePath).c_str());
    const bool takeReplaced = interrupted && !(interrupted == TakeChange::Import && QFile::exists(importSide));
    bool markRemovable = !interrupted || takeReplaced || QFile::remove(importSide) || !QFile::exists(importSide);
    if (takeReplaced && measureTake() == 0) {
        // Nothing was kept of the interrupted take: neither it nor the earlier take's picture stays.
        markRemovable = !QFile::exists(m_paths.take()) || QFile::remove(m_paths.take());
        QFile::remove(m_paths.peakCache());
    }
    // A maximise stopped part-way is finished from its journal whatever else was interrupted.
    const bool unfinished = takeReplaced || maximiseInterrupted(takePath);
    m_hasTake = QFile::exists(m_paths.take());
    QWidget* frame = sorvak::findControl(&m_window, ids::kViewFrame);
    m_view = new WaveformView(*this, frame->geometry(), frame->parentWidget());
    m_view->setEdgeCursor(m_skin.edgeCursor);
    m_view->setCaptionFont(m_skin.largeFont);
    m_view->show();
    // The stored selection belongs to the take before an interrupted one.
    if (m_hasTake && !unfinished)
        m_view->setSelection(m_settings.selectionStart, m_settings.selectionEnd);
    m_takeLength = measureTake();

    m_phase = SessionPhase::Preparing;
    setStatusText(QString::fromLatin1(kRenderingText));
    pumpMessages();
    if (unfinished && m_hasTake)
        prepareTake(QString::fromLatin1(interrupted == TakeChange::Import ? kImportCaption : kRecordCaption));
    else if (m_hasTake && !loadPeakCache(m_paths.peakCache(), m_view->waveformImage()))
        rebuildWaveform();
    setStatusText(QString());
    pumpMessages();
    m_phase = SessionPhase::Idle;
    m_view->drawSelection();
    m_view->compose();
    applyControlStates(m_window, controlStates(m_phase, m_hasTake));
    if (interrupted)
        reportRecoveredTake(*interrupted, takeReplaced, markRemovable);
    if (interruptedSave)
        reportInterruptedSave(*interruptedSave);
    if (m_closed)
        return;

    QString captureProblem;
    switch (m_engine->start(&captureProblem)) {
    case CaptureEngine::StartResult::NoInputDevice:
        // The program ends here: what the start-up finished is said first.
        showStartupMessages();
        QMessageBox::critical(&m_window, QString::fromLatin1(kNoInputCaption), QString::fromLatin1(kNoInputText));
        QMetaObject::invokeMethod(&m_window, [window = &m_window] { window->close(); }, Qt::QueuedConnection);
        return;
    case CaptureEngine::StartResult::NotOpened:
        warn(QString::fromLatin1(kRecordCaption),
             QStringLiteral("The record device could not be opened (%1), so nothing can be recorded.\n\n"
                            "Choose another one under Settings > Record Device and restart Wavelark.\n"
                            "The current take can still be played and saved.")
                 .arg(captureProblem));
        break;
    case CaptureEngine::StartResult::Started:
        break;
    }
    QThread::msleep(50);
    if (!m_player->open()) {
        m_playbackProblem = QStringLiteral("The playback device could not be opened, so nothing can be played.\n\n"
                                           "Choose another one under Settings > Playback Device and restart Wavelark.");
        warn(QString::fromLatin1(kPlayCaption), m_playbackProblem);
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

void TakeSession::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_engine->stop();
    m_player->stopPlaying();
    m_player->close();
    // A take recorded up to the close is kept as a finished one.
    if (m_takeInProgress && m_view)
        finishRecording();
}

void TakeSession::recordCommand()
{
    if (m_phase != SessionPhase::Idle && m_phase != SessionPhase::Recording)
        return;
    if (m_takeInProgress) {
        finishRecording();
        return;
    }
    if (QMessageBox::question(&m_window, QString::fromLatin1(kRecordCaption), QString::fromLatin1(kConfirmRecordText),
                              QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    QString error;
    if (!m_engine->startRecording(&error)) {
        // Nothing has changed yet: the earlier take and its picture stay.
        warn(QString::fromLatin1(kRecordCaption), error);
        return;
    }
    // A journal of an earlier take's maximise must never be applied to this one.
    removeMaximiseJournal(maximiseJournalPath(QFile::encodeName(m_paths.take()).toStdString()));
    const QString markProblem = writeTakeMark(m_paths, TakeChange::Recording);
    m_takeInProgress = true;
    m_shownSeconds = -1;
    m_view->clearWaveform();
    m_view->clearComposed();
    m_view->setSelection(0, 0);
    m_view->drawSelection();
    m_view->compose();
    setButtonText(ids::kRecordButton, QStringLiteral("Stop"));
    enterPhase(SessionPhase::Recording);
    updateRecordingHealth();
    if (!markProblem.isEmpty())
        warn(QString::fromLatin1(kRecordCaption),
             QStringLiteral("The recording runs, but its mark could not be written (%1).\n\n"
                            "If Wavelark is interrupted during this recording, the take will not be finished "
                            "at the next start.")
                 .arg(markProblem));
}

void TakeSession::reportRecoveredTake(TakeChange change, bool takeReplaced, bool markRemovable)
{
    const QString length = wholeSecondsText(takeSeconds(m_takeLength));
    QString text;
    if (change == TakeChange::Import && !takeReplaced)
        text = QStringLiteral("The last import was interrupted before its audio replaced the take, so the take is "
                              "the one from before it.");
    else if (change == TakeChange::Import)
        text = m_hasTake ? QStringLiteral("The last import was interrupted after its audio replaced the take.\n\n"
                                          "The take has been finished as the import would have done: %1 of audio.")
                               .arg(length)
                         : QStringLiteral("The last import was interrupted before any audio was kept, so there is no take.");
    else
        text = m_hasTake ? QStringLiteral("The last recording was interrupted before it was stopped.\n\n"
                                          "Its take has been recovered and finished as Stop would have done: "
                                          "%1 of audio.")
                               .arg(length)
                         : QStringLiteral("The last recording was interrupted before any audio was kept, "
                                          "so there is no take.");
    // A mark left in place only repeats this finish at the next start, which changes nothing.
    if (!markRemovable || !removeMark(m_paths.recordingMark()))
        text += QStringLiteral("\n\nThe mark of the interrupted work could not be removed (%1), so this "
                               "will be shown again at the next start.")
                    .arg(m_paths.recordingMark());
    warn(QString::fromLatin1(change == TakeChange::Import ? kImportCaption : kRecordCaption), text);
}

void TakeSession::reportInterruptedSave(const InterruptedSave& save)
{
    QString text = QStringLiteral("The last save was interrupted before it was finished, so \"%1\" was not saved. "
                                  "The take is unchanged: select the part again and save it.")
                       .arg(save.fileName);
    if (!save.leftOver.isEmpty())
        text += QStringLiteral("\n\nWhat the save left could not be removed: %1").arg(save.leftOver.join(QStringLiteral(", ")));
    warn(QString::fromLatin1(kSaveCaption), text);
}

void TakeSession::finishRecording()
{
    if (!m_takeInProgress || m_phase == SessionPhase::Preparing)
        return;
    const CaptureEngine::TakeEnding ending = m_engine->stopRecording();
    m_hasTake = true;
    enterPhase(SessionPhase::Preparing);
    clearHealth();
    setProgress(0);
    setButtonText(ids::kRecordButton, QStringLiteral("Record"));
    prepareTake(QString::fromLatin1(kRecordCaption));
    const bool markRemoved = removeMark(m_paths.recordingMark());
    m_takeInProgress = false;
    enterPhase(SessionPhase::Idle);
    showHealth(takeSummaryDisplay(ending.health));
    // Also while the window closes: the user learns why the take is short or has gaps.
    if (!ending.faultMessage.isEmpty())
        warn(QString::fromLatin1(kRecordCaption), ending.faultMessage);
    if (ending.losses.any())
        warn(QString::fromLatin1(kRecordCaption), recordingLossText(ending.losses));
    if (!markRemoved)
        warn(QString::fromLatin1(kRecordCaption),
             QStringLiteral("The take is complete, but the mark of its recording could not be removed (%1), "
                            "so the take will be finished again at the next start.")
                 .arg(m_paths.recordingMark()));
}

void TakeSession::prepareTake(const QString& caption)
{
    const std::string path = QFile::encodeName(m_paths.take()).toStdString();
    const BlockProgress rewriteProgress = [this](int percent) {
        setProgress(percent);
        setStatusText(QStringLiteral(" Maximizing Audio ... %1 %").arg(percent));
        pumpMessages();
    };
    // A maximise that was stopped part-way is finished from where it stopped: maximising the
    // partly maximised take afresh would keep its level step.
    const std::string takeId = readTakeId(m_paths);
    std::optional<MaximiseResult> resumed = resumeRawTakeMaximise(path, takeId, rewriteProgress);
    const MaximiseResult result = resumed ? std::move(*resumed)
                                          : maximiseRawTake(
                                                path, takeId,
                                                [this](int percent) {
                                                    setProgress(percent);
                                                    setStatusText(QStringLiteral(" Scanning Audio ... %1 %").arg(percent));
                                                    pumpMessages();
                                                },
                                                rewriteProgress);
    setProgress(0);
    if (result.failed)
        warn(caption,
             QStringLiteral("The Recording File could not be maximised: %1\n\nThe take has been kept as it was recorded%2.")
                 .arg(QString::fromLocal8Bit(result.error.c_str()),
                      result.touched ? QStringLiteral(", partly maximised") : QString()));
    m_takeLength = measureTake();
    m_view->clearWaveform();
    setStatusText(QString::fromLatin1(kRenderingText));
    pumpMessages();
    rebuildWaveform();
    m_view->drawSelection();
    m_view->compose();
    showDuration();
    pumpMessages();
}

void TakeSession::rebuildWaveform()
{
    buildPeakCache(m_paths.take(), m_paths.peakCache(), m_view->waveformImage(), [this](int) {
        // The user sees the waveform grow.
        m_view->compose();
        pumpMessages();
    });
}

void TakeSession::showDuration()
{
    setStatusText(QStringLiteral(" Duration : ") + wholeSecondsText(takeSeconds(m_takeLength)));
}

void TakeSession::playCommand()
{
    if (m_player->playing()) {
        m_player->stopPlaying();
        m_tail = false;
        setButtonText(ids::kPlayButton, QStringLiteral("Play"));
        enterPhase(SessionPhase::Idle);
        m_view->compose();
        return;
    }
    if (m_phase != SessionPhase::Idle || !m_hasTake)
        return;
    if (!m_player->isOpen()) {
        m_tail = false;
        warn(QString::fromLatin1(kPlayCaption), m_playbackProblem);
        return;
    }
    m_takeLength = measureTake();
    if (!m_player->startPlaying(m_view->firstEdge(), m_view->secondEdge(), m_tail)) {
        m_tail = false;
        return;
    }
    setButtonText(ids::kPlayButton, QStringLiteral("Stop"));
    enterPhase(SessionPhase::Playing);
}

void TakeSession::timerTick(uint64_t tick)
{
    if (tick % 5000 == 0)
        m_monitor.resetWritePosition();
    m_engine->levels().lower();
    if (!m_view)
        return;
    if (m_player->playing() && tick % 2 == 0)
        m_view->compose();
    const auto seconds = static_cast<int64_t>(m_engine->elapsedSeconds());
    if (seconds != m_shownSeconds) {
        m_shownSeconds = seconds;
        m_view->compose();
        if (m_phase == SessionPhase::Recording)
            updateRecordingHealth();
    }
}

void TakeSession::updateRecordingHealth()
{
    const RecordingHealth health = m_engine->health();
    showHealth(recordingHealthDisplay(
        health, recordingSecondsLeft(m_freeSpace ? m_freeSpace() : std::nullopt, health.takeBytes, kLargestTake)));
}

void TakeSession::showHealth(const HealthDisplay& display)
{
    auto* bar = static_cast<QProgressBar*>(sorvak::findControl(&m_window, ids::kProgressBar));
    if (!bar)
        return;
    // The bar is a few pixels high: its text is drawn to fit.
    QFont font = bar->font();
    font.setPixelSize(std::max(8, bar->height() - 3));
    bar->setFont(font);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Text, display.warning ? QColor(192, 0, 0) : QColor(0, 0, 0));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Text));
    bar->setPalette(palette);
    bar->setAlignment(Qt::AlignCenter);
    bar->setFormat(display.text);
    bar->setToolTip(display.text);
    bar->setTextVisible(true);
}

void TakeSession::clearHealth()
{
    if (auto* bar = static_cast<QProgressBar*>(sorvak::findControl(&m_window, ids::kProgressBar))) {
        bar->setTextVisible(false);
        bar->setToolTip(QString());
    }
}

void TakeSession::setGains(double recordGain, double playGain)
{
    m_engine->setRecordGain(recordGain);
    m_player->setPlayGain(playGain);
}

void TakeSession::setMonitorThru(bool on)
{
    m_monitor.setThru(on);
}

void TakeSession::setRecordEnabled(bool enabled)
{
    m_engine->setRecordEnabled(enabled);
}

void TakeSession::setPlayEnabled(bool enabled)
{
    m_player->setPlayEnabled(enabled);
}

std::optional<SaveRange> TakeSession::selectedRange() const
{
    if (!m_hasTake || !m_view || m_view->firstEdge() == m_view->secondEdge())
        return std::nullopt;
    const uint32_t length = measureTake();
    const uint32_t smaller = std::min(m_view->firstEdge(), m_view->secondEdge());
    const uint32_t larger = std::max(m_view->firstEdge(), m_view->secondEdge());
    const SaveRange range{wholeFrames(columnToOffset(smaller, length)), wholeFrames(columnToOffset(larger, length))};
    if (!range.valid())
        return std::nullopt;
    return range;
}

bool TakeSession::save(SaveRange range, const QString& name)
{
    if (m_phase != SessionPhase::Idle)
        return false;
    const std::string takePath = QFile::encodeName(m_paths.take()).toStdString();
    const SaveFormat format = static_cast<SaveFormat>(std::clamp(m_settings.saveFormat, 0, 2));
    const QString fileName = name + QString::fromLatin1(saveExtension(format));
    SaveJob job;
    job.takePath = takePath;
    job.temporaryPath = QFile::encodeName(m_paths.temporaryWav()).toStdString();
    job.destinationPath = QFile::encodeName(QString::fromUtf8(m_settings.archiveFolder) + fileName).toStdString();
    job.range = range;
    job.fades = FadeSettings{m_settings.fadeStartOn != 0, m_settings.fadeStartLength, m_settings.fadeEndOn != 0,
                             m_settings.fadeEndLength, m_settings.maximizeOn != 0};
    job.format = format;
    job.quality = static_cast<SaveQuality>(std::clamp(m_settings.saveQuality, 0, 2));

    enterPhase(SessionPhase::Saving);
    clearHealth();
    setProgress(0);
    setStatusText(QStringLiteral(" Preparing Audio ..."));
    pumpMessages();
    // Without its mark an interrupted save would leave its side file in the archive folder.
    const QString markProblem = writeSavingMark(m_paths, QFile::decodeName(sidePathOf(job.destinationPath).c_str()));
    const SaveResult result = saveRange(
        job,
        [this](SavePhase phase, int percent) {
            setProgress(percent);
            if (phase == SavePhase::Scanning)
                setStatusText(QStringLiteral(" Scanning Audio ... %1 %").arg(percent));
            else if (phase == SavePhase::Processing)
                setStatusText(QStringLiteral(" Processing Audio ... %1 %").arg(percent));
            pumpMessages();
        },
        [this] {
            setProgress(0);
            setProgressActivity(ProgressActivity::Saving);
        },
        &progressReporter);
    removeMark(m_paths.savingMark());
    setProgressActivity(ProgressActivity::Importing);
    refreshArchive();
    setProgress(0);
    m_view->clearStatusCache();
    m_view->updateStatus();
    enterPhase(SessionPhase::Idle);
    if (!result.ok()) {
        warn(QString::fromLatin1(kSaveCaption), QString::fromStdString(result.message));
        return false;
    }
    setStatusText(QStringLiteral(" Saved : ") + fileName);
    if (!markProblem.isEmpty())
        warn(QString::fromLatin1(kSaveCaption),
             QStringLiteral("The file was saved, but the mark of the save could not be written (%1): had Wavelark "
                            "been interrupted, a partial file could have been left in the archive folder.")
                 .arg(markProblem));
    return true;
}

bool TakeSession::import(const QString& path)
{
    if (m_phase != SessionPhase::Idle)
        return false;
    if (QMessageBox::question(&m_window, QString::fromLatin1(kConfirmImportCaption),
                              QString::fromLatin1(kConfirmImportText), QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return false;
    enterPhase(SessionPhase::Importing);
    clearHealth();
    setProgress(0);
    setProgressActivity(ProgressActivity::Importing);
    // From here to the end of the take's preparation a kill is finished at the next start.
    const QString markProblem = writeTakeMark(m_paths, TakeChange::Import);
    // The old take, its picture and selection stay until the new take is complete.
    const ImportResult result = importIntoTake(
        QFile::encodeName(path).toStdString(), QFile::encodeName(m_paths.take()).toStdString(),
        [this](int percent) {
            setStatusText(QStringLiteral(" Importing Audio File ...%1 %").arg(percent));
            pumpMessages();
            setProgress(percent);
        },
        &progressReporter);
    setProgress(0);
    if (!result.ok()) {
        removeMark(m_paths.recordingMark());
        enterPhase(SessionPhase::Idle);
        showDuration();
        if (result.failure == ImportFailure::IncorrectFormat)
            QMessageBox::critical(&m_window, QString::fromLatin1(kIncorrectFormatCaption),
                                  QString::fromLatin1(kIncorrectFormatText));
        else
            warn(QString::fromLatin1(kImportCaption), QString::fromStdString(result.message));
        return false;
    }
    m_hasTake = true;
    m_view->clearWaveform();
    m_view->clearComposed();
    m_view->clearSelectionImage();
    m_view->setSelection(0, 0);
    m_player->setPlayCursor(0.0);
    m_view->compose();
    enterPhase(SessionPhase::Preparing);
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

void TakeSession::refreshArchive()
{
    if (auto* archive = m_window.findChild<ArchiveList*>(QLatin1String(ArchiveList::kObjectName)))
        archive->refresh(QString::fromUtf8(m_settings.archiveFolder));
}

bool TakeSession::selectionAllowed() const
{
    return m_hasTake && m_phase != SessionPhase::Preparing && m_phase != SessionPhase::Saving
           && m_phase != SessionPhase::Importing;
}

bool TakeSession::recording() const
{
    return m_phase == SessionPhase::Recording;
}

double TakeSession::recordingSeconds() const
{
    return m_engine->elapsedSeconds();
}

bool TakeSession::playing() const
{
    return m_player->playing();
}

double TakeSession::playCursor() const
{
    return m_player->playCursor();
}

void TakeSession::setPlayCursor(double column)
{
    m_player->setPlayCursor(column);
}

void TakeSession::stopPlaying()
{
    if (m_player->playing())
        playCommand();
}

void TakeSession::playSelection(bool tail)
{
    m_tail = tail;
    if (!m_player->playing())
        playCommand();
}

void TakeSession::setStatusText(const QString& text)
{
    if (auto* status = static_cast<QLabel*>(sorvak::findControl(&m_window, ids::kStatusLine)))
        status->setText(text);
}

void TakeSession::selectionDrawn(uint32_t firstEdge, uint32_t secondEdge)
{
    m_settings.selectionStart = firstEdge;
    m_settings.selectionEnd = secondEdge;
}

void TakeSession::enterPhase(SessionPhase phase)
{
    m_phase = phase;
    // A window that is closing keeps its controls as they are.
    if (!m_closed)
        applyControlStates(m_window, controlStates(phase, m_hasTake));
}

void TakeSession::setButtonText(int control, const QString& text)
{
    if (auto* button = static_cast<QAbstractButton*>(sorvak::findControl(&m_window, control)))
        button->setText(text);
}

void TakeSession::setProgress(int percent)
{
    if (auto* progress = static_cast<QProgressBar*>(sorvak::findControl(&m_window, ids::kProgressBar)))
        progress->setValue(percent);
}

void TakeSession::warn(const QString& caption, const QString& text)
{
    if (m_initialising) {
        m_startupMessages.emplace_back(caption, text);
        return;
    }
    QMessageBox::warning(&m_window, caption, text);
}

uint32_t TakeSession::measureTake() const
{
    return g_toolkit.FileSize(QFile::encodeName(m_paths.take()).constData());
}

}
