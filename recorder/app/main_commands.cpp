// The main window's commands: buttons and menu entries.
//
// Record and Play are run by the take's session; Import, Save and Delete live with the archive,
// and until it is part of the program those commands are ignored.

#include "app/main_window.h"

#include "core/identifiers.h"
#include "app/main_menu.h"
#include "app/messages.h"
#include "core/settings.h"
#include "app/program_state.h"
#include "core/toolkit_binding.h"
#include "app/user_guide.h"

#include "session/take_session.h"

#include "sorvak_widgets.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace wavelark {

namespace {

inline constexpr char kContactAddress[] = "mailto:contact@wavelark.example";

}

void MainWindow::command(int commandId)
{
    if (commandId >= ids::kRecordDeviceFirst && commandId < ids::kRecordDeviceFirst + 4) {
        storeDevice(m_state.settings.recordDevice, commandId - ids::kRecordDeviceFirst - 1);
        return;
    }
    if (commandId >= ids::kPlaybackDeviceFirst && commandId < ids::kPlaybackDeviceFirst + 4) {
        storeDevice(m_state.settings.playbackDevice, commandId - ids::kPlaybackDeviceFirst - 1);
        return;
    }
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
    case ids::kPlayButton:
        if (m_session)
            m_session->playCommand();
        break;
    case ids::kExploreButton:
        openLink(this, QUrl::fromLocalFile(QString::fromUtf8(m_state.settings.archiveFolder)),
                 QStringLiteral("the archive folder"));
        break;
    default:
        break;
    }
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
        setSettingsText(m_state.settings.archiveFolder, folder);
        m_state.unavailableArchiveFolder.clear();
        static_cast<QLabel*>(sorvak::findControl(this, ids::kArchiveFolderText))
            ->setText(QStringLiteral(" ") + folder);
        QCoreApplication::processEvents();
    }
    setEnabled(true);
    raise();
    activateWindow();
}

}
