#include "session/take_session.h"

#include "session/progress_reporter.h"

#include "take/maximise_journal.h"
#include "take/peak_cache.h"
#include "take/raw_take_maximise.h"

#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include <QCoreApplication>
#include <QFile>
#include <QStorageInfo>

#include <algorithm>

namespace wavelark {

namespace {

// Long steps on the window thread let the window repaint between blocks. Every command checks
// the session's phase first, so nothing the user or a posted call starts there can re-enter.
void pumpMessages()
{
    QCoreApplication::processEvents();
}

}

TakeSession::TakeSession(Settings& settings, const DataPaths& paths, TakeDisplay& display)
    : m_settings(settings)
    , m_paths(paths)
    , m_display(display)
    , m_choices(readRecorderChoices(paths.folder + QLatin1String(kChoicesFileName)))
    , m_zoomedPeaks(paths.take())
{
    m_engine = std::make_unique<CaptureEngine>(
        paths.take(), resolveRecordDevice(), m_monitor,
        CaptureEngine::Handlers{[this](double elapsed) {
                                    // An append that met the Stop posts after it: the take is over.
                                    if (m_phase == SessionPhase::Recording)
                                        setStatusText(recordingStatusText(elapsed));
                                },
                                [this] { finishRecording(); }, {}, [this] { unattendedStop(); }});
    m_player = std::make_unique<TakePlayer>(paths.take(), resolvePlaybackDevice(), m_monitor, [this] {
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
    if (!m_display.ask(QString::fromLatin1(kRecordCaption), QString::fromLatin1(kConfirmRecordText)))
        return;
    QString error;
    if (!m_engine->startRecording(&error, unattendedRules(m_choices))) {
        // Nothing has changed yet: the earlier take and its picture stay.
        warn(QString::fromLatin1(kRecordCaption), error);
        return;
    }
    // A journal or a maximised copy of an earlier take must never be applied to this one.
    const std::string takePath = QFile::encodeName(m_paths.take()).toStdString();
    removeMaximiseJournal(maximiseJournalPath(takePath));
    QFile::remove(QFile::decodeName(maximisedSidePath(takePath).c_str()));
    const QString markProblem = writeTakeMark(m_paths, TakeChange::Recording);
    m_takeInProgress = true;
    m_shownSeconds = -1;
    m_view->clearWaveform();
    m_view->clearComposed();
    m_view->setSelection(0, 0);
    m_view->drawSelection();
    clearTrackMarkers();
    m_view->compose();
    m_display.setRecordButtonText(QStringLiteral("Stop"));
    enterPhase(SessionPhase::Recording);
    updateRecordingHealth();
    if (m_engine->waitingForSound())
        setStatusText(QString::fromLatin1(kWaitingForSoundText));
    if (!markProblem.isEmpty())
        warn(QString::fromLatin1(kRecordCaption),
             QStringLiteral("The recording runs, but its mark could not be written (%1).\n\n"
                            "If Wavelark is interrupted during this recording, the take will not be finished "
                            "at the next start.")
                 .arg(markProblem));
}

void TakeSession::finishRecording()
{
    if (!m_takeInProgress || m_phase == SessionPhase::Preparing)
        return;
    const CaptureEngine::TakeEnding ending = m_engine->stopRecording();
    m_hasTake = true;
    enterPhase(SessionPhase::Preparing);
    m_display.clearHealth();
    m_display.setProgress(0);
    m_display.setRecordButtonText(QStringLiteral("Record"));
    prepareTake(QString::fromLatin1(kRecordCaption));
    const bool markRemoved = removeMark(m_paths.recordingMark());
    m_takeInProgress = false;
    enterPhase(SessionPhase::Idle);
    m_display.showHealth(takeSummaryDisplay(ending.health));
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
        m_display.setProgress(percent);
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
                                                    m_display.setProgress(percent);
                                                    setStatusText(QStringLiteral(" Scanning Audio ... %1 %").arg(percent));
                                                    pumpMessages();
                                                },
                                                rewriteProgress);
    m_display.setProgress(0);
    if (result.failed)
        warn(caption,
             QStringLiteral("The Recording File could not be maximised: %1\n\nThe take has been kept as it was recorded%2.")
                 .arg(QString::fromLocal8Bit(result.error.c_str()),
                      result.touched ? QStringLiteral(", partly maximised") : QString()));
    m_takeLength = measureTake();
    m_zoomedPeaks.reset();
    m_view->clearWaveform();
    setStatusText(QString::fromLatin1(kRenderingText));
    pumpMessages();
    const bool cached = rebuildWaveform();
    m_view->drawSelection();
    m_view->compose();
    showDuration();
    pumpMessages();
    if (!cached)
        warn(caption, QStringLiteral("The take is complete, but its waveform picture could not be written to %1 "
                                     "(is the disk full?).\n\nIt will be drawn from the take again at the next start.")
                          .arg(m_paths.peakCache()));
}

bool TakeSession::rebuildWaveform()
{
    const PeakCacheResult result = buildPeakCache(m_paths.take(), m_paths.peakCache(), m_view->waveformImage(), [this](int) {
        // The user sees the waveform grow.
        m_view->compose();
        pumpMessages();
    });
    if (!result.takeOpened || result.cacheWritten)
        return true;
    // The cache left is an earlier take's: the next start must not draw it as this one.
    QFile::remove(m_paths.peakCache());
    return false;
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
        m_display.setPlayButtonText(QStringLiteral("Play"));
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
    const std::optional<uint64_t> from = std::exchange(m_playFrom, std::nullopt);
    if (!startPlayer(from)) {
        m_tail = false;
        return;
    }
    m_display.setPlayButtonText(QStringLiteral("Stop"));
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
    m_display.showHealth(recordingHealthDisplay(
        health, recordingSecondsLeft(m_freeSpace ? m_freeSpace() : std::nullopt, health.takeBytes, kLargestTake),
        m_recordSource));
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
    if (!m_hasTake || !m_view)
        return std::nullopt;
    const uint32_t length = measureTake();
    if (const auto exact = m_view->exactSelection()) {
        const uint64_t smaller = std::min(exact->first, exact->second) * kTakeFrameBytes;
        const uint64_t larger = std::max(exact->first, exact->second) * kTakeFrameBytes;
        const SaveRange range{wholeFrames(static_cast<uint32_t>(std::min<uint64_t>(smaller, length))),
                              wholeFrames(static_cast<uint32_t>(std::min<uint64_t>(larger, length)))};
        if (!range.valid())
            return std::nullopt;
        return range;
    }
    if (m_view->firstEdge() == m_view->secondEdge())
        return std::nullopt;
    const uint32_t smaller = std::min(m_view->firstEdge(), m_view->secondEdge());
    const uint32_t larger = std::max(m_view->firstEdge(), m_view->secondEdge());
    const SaveRange range{wholeFrames(columnToOffset(smaller, length)), wholeFrames(columnToOffset(larger, length))};
    if (!range.valid())
        return std::nullopt;
    return range;
}

bool TakeSession::save(SaveRange range, const SaveChoices& choices)
{
    if (m_phase != SessionPhase::Idle)
        return false;
    const std::string takePath = QFile::encodeName(m_paths.take()).toStdString();
    const QString fileName = QString::fromStdString(choices.fileName());
    SaveJob job;
    job.takePath = takePath;
    job.temporaryPath = QFile::encodeName(m_paths.temporaryWav()).toStdString();
    job.destinationPath = QFile::encodeName(QString::fromUtf8(m_settings.archiveFolder) + fileName).toStdString();
    job.range = range;
    job.fades = choices.fades;
    job.format = choices.format;
    job.quality = choices.quality;

    enterPhase(SessionPhase::Saving);
    m_display.clearHealth();
    m_display.setProgress(0);
    setStatusText(QStringLiteral(" Preparing Audio ..."));
    pumpMessages();
    const ProgressRoute conversion(conversionProgress(m_display, ProgressActivity::Saving));
    // Without its mark an interrupted save would leave its side file in the archive folder.
    const QString markProblem =
        writeSavingMark(m_paths, QFile::decodeName(sidePathOf(job.destinationPath).c_str()), fileName);
    const SaveResult result = saveRange(
        job,
        [this](SavePhase phase, int percent) {
            m_display.setProgress(percent);
            if (phase == SavePhase::Converting)
                return;
            if (phase == SavePhase::Scanning)
                setStatusText(QStringLiteral(" Scanning Audio ... %1 %").arg(percent));
            else if (phase == SavePhase::Processing)
                setStatusText(QStringLiteral(" Processing Audio ... %1 %").arg(percent));
            pumpMessages();
        },
        &progressReporter);
    removeMark(m_paths.savingMark());
    endSaving();
    if (!result.ok()) {
        warn(QString::fromLatin1(kSaveCaption), QString::fromStdString(result.message));
        return false;
    }
    // The status line keeps the take's duration and selection; what was saved goes to the bar.
    m_display.showHealth(HealthDisplay{QStringLiteral(" Saved : ") + fileName, false});
    if (!markProblem.isEmpty())
        warn(QString::fromLatin1(kSaveCaption),
             QStringLiteral("The file was saved, but the mark of the save could not be written (%1): had Wavelark "
                            "been interrupted, a partial file could have been left in the archive folder.")
                 .arg(markProblem));
    return true;
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
    m_display.setStatusText(text);
}

void TakeSession::selectionDrawn(uint32_t firstEdge, uint32_t secondEdge)
{
    m_settings.selectionStart = firstEdge;
    m_settings.selectionEnd = secondEdge;
}

void TakeSession::endSaving()
{
    m_display.refreshArchive();
    m_display.setProgress(0);
    m_view->clearStatusCache();
    m_view->updateStatus();
    enterPhase(SessionPhase::Idle);
}

void TakeSession::enterPhase(SessionPhase phase)
{
    m_phase = phase;
    // A window that is closing keeps its controls as they are.
    if (!m_closed)
        m_display.applyControlStates(controlStates(phase, m_hasTake));
}

void TakeSession::warn(const QString& caption, const QString& text)
{
    if (m_initialising) {
        m_startupMessages.emplace_back(caption, text);
        return;
    }
    m_display.warn(caption, text);
}

uint32_t TakeSession::measureTake() const
{
    return g_toolkit.FileSize(QFile::encodeName(m_paths.take()).constData());
}

}
