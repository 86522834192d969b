// The main window's commands: buttons and menu entries.
//
// Record, Play, Save and Import are run by the take's session; Delete by the archive list.

#include "app/main_window.h"

#include "core/identifiers.h"
#include "app/main_menu.h"
#include "app/messages.h"
#include "core/settings.h"
#include "app/program_state.h"
#include "core/toolkit_binding.h"
#include "app/user_guide.h"

#include "app/save_dialog.h"
#include "app/save_tracks_dialog.h"

#include "session/take_session.h"

#include "archive/archive_list.h"

#include "widgets/waveform_view.h"

#include "sorvak_widgets.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QProcess>
#include <QUrl>

namespace wavelark {

namespace {

inline constexpr char kContactAddress[] = "mailto:contact@wavelark.example";

// "File" > "Save Tracks...": the dialog, then the batch with a Cancel button beside the window's
// own progress bar and status line.
void saveTracksCommand(QWidget* window, TakeSession& session, const Settings& settings, const Skin& skin)
{
    if (session.trackMarkers().empty())
        return;
    SaveTracksDialog dialog(settings, session.trackMarkers(), &skin, window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QProgressDialog cancel(QStringLiteral("Saving Tracks ..."), QStringLiteral("Cancel"), 0, 0, window);
    cancel.setWindowTitle(QString::fromLatin1(kSaveTracksTitle));
    cancel.setWindowModality(Qt::WindowModal);
    cancel.setMinimumDuration(0);
    cancel.show();
    session.saveTracks(dialog.choices(), [&cancel] { return cancel.wasCanceled(); });
}

}

void MainWindow::command(int commandId)
{
    if (chooseFromMenu(commandId))
        return;
    if (commandId >= ids::kLatencyFirst && commandId < ids::kLatencyFirst + 6) {
        // Choosing the entry already checked still counts as a change.
        m_state.pendingLatency = kBufferSizes[commandId - ids::kLatencyFirst];
        m_state.latencyChanged = true;
        m_menu->updateCheckMarks(m_state);
        showRestartNotice(this);
        return;
    }
    if (commandId >= ids::kBuffersFirst && commandId < ids::kBuffersFirst + 4) {
        m_state.pendingBufferCount = kBufferCounts[commandId - ids::kBuffersFirst];
        m_state.bufferCountChanged = true;
        m_menu->updateCheckMarks(m_state);
        showRestartNotice(this);
        return;
    }
    switch (commandId) {
    case ids::kExit:
        close();
        break;
    case ids::kMixerRecord:
        startMixer({QStringLiteral("-t"), QStringLiteral("4")});  // the input devices tab
        break;
    case ids::kMixerPlayback:
        startMixer({QStringLiteral("-t"), QStringLiteral("3")});  // the output devices tab
        break;
    case ids::kOnlineGuide:
        openUserGuide(this, m_state.paths.folder);
        break;
    case ids::kContactUs:
        openLink(this, QUrl(QString::fromLatin1(kContactAddress)), QStringLiteral("the mail address"));
        break;
    case ids::kAbout:
        showAbout(this);
        break;
    case ids::kFolderButton:
        chooseArchiveFolder();
        break;
    case ids::kRecordButton:
        if (m_session)
            m_session->recordCommand();
        break;
    case ids::kFindTracks:
        if (m_session && m_session->findTracks())
            applyControlStates(controlStates(m_session->phase(), m_session->hasTake()));  // Save Tracks follows the markers
        break;
    case ids::kSaveTracks:
        if (m_session)
            saveTracksCommand(this, *m_session, m_state.settings, m_skin);
        break;
    case ids::kPlayButton:
        if (m_session)
            m_session->playCommand();
        break;
    case ids::kSaveButton:
        saveCommand();
        break;
    case ids::kImportButton:
        importCommand();
        break;
    case ids::kZoomOutButton:
        m_view->zoomOut();
        break;
    case ids::kZoomInButton:
        m_view->zoomIn();
        break;
    case ids::kAllButton:
        m_view->showWholeTake();
        break;
    case ids::kSelectionButton:
        m_view->showSelection();
        break;
    case ids::kStartButton:
        m_view->showTakeStart();
        break;
    case ids::kEndButton:
        m_view->showTakeEnd();
        break;
    case ids::kDeleteButton:
        m_archiveList->deleteSelected(this);
        break;
    case ids::kExploreButton:
        openLink(this, QUrl::fromLocalFile(QString::fromUtf8(m_state.settings.archiveFolder)),
                 QStringLiteral("the archive folder"));
        break;
    default:
        break;
    }
}

void MainWindow::saveCommand()
{
    const std::optional<SaveRange> range = m_session->selectedRange();
    if (!range) {
        if (m_session->hasTake())
            setStatusText(QString::fromLatin1(kNothingSelectedText));
        return;
    }
    SaveDialog dialog(m_state.settings, range->bytes(), m_skin, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    raise();
    if (accepted)
        m_session->save(*range, dialog.choices());
}

void MainWindow::importCommand()
{
    static const char kFilters[] = "All Media Files\0*.wav;*.mp3;*.wma;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.aac\0"
                                   "MPEG Layer 3 Files\0*.mp3\0Windows Media Audio Files\0*.wma\0"
                                   "Uncompressed PCM WAV Files\0*.wav\0FLAC Files\0*.flac\0"
                                   "Ogg Vorbis and Opus Files\0*.ogg;*.oga;*.opus\0AAC and M4A Files\0*.m4a;*.aac\0";
    const char* chosen = g_toolkit.GetOpenFilenames(this, 0, "Import Audio File", m_state.settings.lastImportFile,
                                                    kFilters, 0, nullptr);
    if (!chosen || !*chosen)
        return;
    const QString path = QString::fromUtf8(chosen);
    if (path.toUtf8().size() < static_cast<qsizetype>(sizeof m_state.settings.lastImportFile))
        setSettingsText(m_state.settings.lastImportFile, path);
    m_session->import(path);
}

void MainWindow::storeDevice(int32_t& field, int32_t device)
{
    field = device;
    m_menu->updateCheckMarks(m_state);
    showRestartNotice(this);
}

void MainWindow::startMixer(const QStringList& arguments)
{
    if (!m_state.mixerProgram.isEmpty() && !QProcess::startDetached(m_state.mixerProgram, arguments))
        QMessageBox::warning(this, QStringLiteral("ERROR"),
                             QStringLiteral("The volume control %1 could not be started.").arg(m_state.mixerProgram));
}

void MainWindow::chooseArchiveFolder()
{
    setEnabled(false);
    const char* chosen = g_toolkit.BrowseForFolder("Change Archive Folder", nullptr);
    QString folder = chosen ? QString::fromUtf8(chosen) : QString();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    // A path too long for the record would lose its end: the old folder then stays.
    const bool fits = folder.toUtf8().size() < static_cast<qsizetype>(sizeof m_state.settings.archiveFolder);
    if (!folder.isEmpty() && !fits)
        QMessageBox::warning(this, QStringLiteral("Archive Folder"),
                             QStringLiteral("The folder's path is longer than Wavelark can keep (%1 bytes at most):\n\n%2\n\n"
                                            "The archive folder stays %3")
                                 .arg(sizeof m_state.settings.archiveFolder - 1)
                                 .arg(folder, QString::fromUtf8(m_state.settings.archiveFolder)));
    if (!folder.isEmpty() && fits) {
        // The new folder is shown and kept before its files are listed, which can take a while.
        static_cast<QLabel*>(sorvak::findControl(this, ids::kArchiveFolderText))
            ->setText(QStringLiteral(" ") + folder);
        setSettingsText(m_state.settings.archiveFolder, folder);
        m_state.unavailableArchiveFolder.clear();
        QCoreApplication::processEvents();
        m_archiveList->refresh(folder);
    }
    setEnabled(true);
    raise();
    activateWindow();
}

}
