#include "take_session.h"

#include "column_map.h"
#include "peak_cache.h"
#include "raw_take_maximise.h"

#include "shell/identifiers.h"
#include "shell/shell_state.h"
#include "shell/skin.h"
#include "shell/toolkit_binding.h"

#include "sorvak_widgets.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QThread>

#include <cmath>

namespace wavelark {

namespace {

void pumpMessages()
{
    QCoreApplication::processEvents();
}

}

TakeSession::TakeSession(ShellState& state, QMainWindow& window, const Skin& skin)
    : m_state(state)
    , m_window(window)
    , m_skin(skin)
{
    m_engine = std::make_unique<CaptureEngine>(
        state, CaptureEngine::Handlers{[this](double elapsed) { setStatusText(recordingStatusText(elapsed)); },
                                       [this](const QString& message) { finishRecording(message); }});
    m_player = std::make_unique<TakePlayer>(state, [this] {
        if (m_player->playing())
            playCommand();
    });
}

TakeSession::~TakeSession()
{
    close();
}

void TakeSession::initialise()
{
    m_hasTake = QFile::exists(m_state.takePath);
    QWidget* frame = sorvak::findControl(&m_window, ids::kViewFrame);
    m_view = new WaveformView(m_state, *this, frame->geometry(), frame->parentWidget());
    m_view->setEdgeCursor(m_skin.edgeCursor);
    m_view->show();
    if (m_hasTake)
        m_view->setSelection(m_state.settings.selectionStart, m_state.settings.selectionEnd);
    m_takeLength = measureTake();

    setStatusText(QString::fromLatin1(kRenderingText));
    pumpMessages();
    if (m_hasTake && !loadPeakCache(cachePath(), m_view->waveformImage()))
        rebuildWaveform();
    setStatusText(QString());
    pumpMessages();
    m_view->drawSelection();
    m_view->compose();

    // Connected after the window's own handlers, which flip the stored values first.
    if (auto* box = sorvak::findControl(&m_window, ids::kRecordEnabledBox))
        QObject::connect(static_cast<QAbstractButton*>(box), &QAbstractButton::clicked, m_view,
                         [this] { m_engine->setRecordEnabled(m_state.settings.recordEnabled != 0); });
    if (auto* box = sorvak::findControl(&m_window, ids::kPlayEnabledBox))
        QObject::connect(static_cast<QAbstractButton*>(box), &QAbstractButton::clicked, m_view,
                         [this] { m_player->setPlayEnabled(m_state.settings.playEnabled != 0); });

    if (m_engine->start() == CaptureEngine::StartResult::NoInputDevice) {
        QMessageBox::critical(&m_window, QString::fromLatin1(kNoInputCaption), QString::fromLatin1(kNoInputText));
        QMetaObject::invokeMethod(&m_window, [window = &m_window] { window->close(); }, Qt::QueuedConnection);
        return;
    }
    QThread::msleep(50);
    m_player->open();
    showDuration();
    m_view->clearStatusCache();
    m_view->updateStatus();
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
        finishRecording(QString());
}

void TakeSession::recordCommand()
{
    if (m_takeInProgress) {
        finishRecording(QString());
        return;
    }
    if (QMessageBox::question(&m_window, QString::fromLatin1(kRecordCaption), QString::fromLatin1(kConfirmRecordText),
                              QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    QString error;
    if (!m_engine->startRecording(&error)) {
        // Nothing has changed yet: the earlier take and its picture stay.
        QMessageBox::warning(&m_window, QString::fromLatin1(kRecordCaption), error);
        return;
    }
    m_takeInProgress = true;
    m_shownSeconds = -1;
    m_view->clearWaveform();
    m_view->clearComposed();
    m_view->setSelection(0, 0);
    m_view->drawSelection();
    m_view->compose();
    setButtonText(ids::kRecordButton, QStringLiteral("Stop"));
    setEnabled(false, {ids::kSaveButton, ids::kExploreButton, ids::kPlayButton, ids::kImportButton,
                       ids::kDeleteButton, ids::kFolderButton});
    setArchiveAndMenusEnabled(false, true);
}

void TakeSession::finishRecording(const QString& faultMessage)
{
    if (!m_takeInProgress || m_preparing)
        return;
    m_engine->stopRecording();
    m_preparing = true;
    m_hasTake = true;
    setEnabled(false, {ids::kRecordButton});
    setProgress(0);
    setButtonText(ids::kRecordButton, QStringLiteral("Record"));
    prepareTake();
    m_preparing = false;
    m_takeInProgress = false;
    if (m_closed)
        return;
    setEnabled(true, {ids::kRecordButton, ids::kSaveButton, ids::kExploreButton, ids::kPlayButton,
                      ids::kImportButton, ids::kDeleteButton, ids::kFolderButton});
    setArchiveAndMenusEnabled(true, true);
    if (!faultMessage.isEmpty())
        QMessageBox::warning(&m_window, QString::fromLatin1(kRecordCaption), faultMessage);
}

void TakeSession::prepareTake()
{
    const std::string path = QFile::encodeName(m_state.takePath).toStdString();
    const MaximiseResult result = maximiseRawTake(
        path,
        [this](int percent) {
            setProgress(percent);
            setStatusText(QStringLiteral(" Scanning Audio ... %1 %").arg(percent));
            pumpMessages();
        },
        [this](int percent) {
            setProgress(percent);
            setStatusText(QStringLiteral(" Maximizing Audio ... %1 %").arg(percent));
            pumpMessages();
        });
    setProgress(0);
    if (result.writeFailed)
        QMessageBox::warning(&m_window, QString::fromLatin1(kRecordCaption),
                             QStringLiteral("The Recording File could not be maximised: %1")
                                 .arg(QString::fromLocal8Bit(result.error.c_str())));
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
    buildPeakCache(m_state.takePath, cachePath(), m_view->waveformImage(), [this](int) {
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
        setEnabled(true, {ids::kSaveButton, ids::kExploreButton, ids::kRecordButton, ids::kImportButton,
                          ids::kDeleteButton, ids::kFolderButton});
        setArchiveAndMenusEnabled(true, false);
        m_view->compose();
        return;
    }
    if (!m_hasTake || m_takeInProgress)
        return;
    m_takeLength = measureTake();
    if (!m_player->startPlaying(m_view->firstEdge(), m_view->secondEdge(), m_tail)) {
        m_tail = false;
        return;
    }
    setButtonText(ids::kPlayButton, QStringLiteral("Stop"));
    setEnabled(false, {ids::kSaveButton, ids::kExploreButton, ids::kRecordButton, ids::kImportButton,
                       ids::kDeleteButton, ids::kFolderButton});
    setArchiveAndMenusEnabled(false, false);
}

void TakeSession::timerTick(uint64_t tick)
{
    if (!m_view)
        return;
    if (m_player->playing() && tick % 2 == 0)
        m_view->compose();
    const auto seconds = static_cast<int64_t>(m_engine->elapsedSeconds());
    if (seconds != m_shownSeconds) {
        m_shownSeconds = seconds;
        m_view->compose();
    }
}

bool TakeSession::selectionAllowed() const
{
    return m_hasTake && !m_preparing && !m_state.saving && !m_state.importing;
}

bool TakeSession::recording() const
{
    return m_takeInProgress && !m_preparing;
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

void TakeSession::setEnabled(bool enabled, std::initializer_list<int> controls)
{
    int list[10] = {};
    std::size_t count = 0;
    for (int control : controls)
        list[count++] = control;
    g_toolkit.EnableWindows10(&m_window, enabled ? 1 : 0, list[0], list[1], list[2], list[3], list[4], list[5],
                              list[6], list[7], list[8], list[9]);
}

void TakeSession::setArchiveAndMenusEnabled(bool enabled, bool menus)
{
    if (auto* archive = m_window.findChild<QWidget*>(QStringLiteral("archiveList")))
        archive->setEnabled(enabled);
    if (menus && m_window.menuBar()) {
        for (QAction* menu : m_window.menuBar()->actions())
            menu->setEnabled(enabled);
    }
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

uint32_t TakeSession::measureTake() const
{
    return g_toolkit.FileSize(QFile::encodeName(m_state.takePath).constData());
}

QString TakeSession::cachePath() const
{
    return m_state.dataFolder + QStringLiteral("wd.dat");
}

}
