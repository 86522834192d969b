// The main window's commands: buttons and menu entries.
//
// Record and Play are run by the take's session; Import, Save and Delete live with the archive,
// and until it is part of the program those commands are ignored.

#include "shell/main_window.h"

#include "shell/identifiers.h"
#include "shell/main_menu.h"
#include "shell/messages.h"
#include "shell/settings.h"
#include "shell/shell_state.h"
#include "shell/toolkit_binding.h"
#include "shell/user_guide.h"

#include "take_session.h"

#include "sorvak_widgets.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
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
        openUserGuide(m_state.dataFolder);
        break;
    case ids::kContactUs:
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kContactAddress)));
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
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromUtf8(m_state.settings.archiveFolder)));
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
    if (!m_state.mixerProgram.isEmpty())
        QProcess::startDetached(m_state.mixerProgram, arguments);
}

void MainWindow::chooseArchiveFolder()
{
    setEnabled(false);
    const char* chosen = g_toolkit.BrowseForFolder("Change Archive Folder", nullptr);
    QString folder = chosen ? QString::fromUtf8(chosen) : QString();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    // A path too long for the record would lose its end: the old folder then stays.
    if (!folder.isEmpty() && folder.toUtf8().size() < static_cast<qsizetype>(sizeof m_state.settings.archiveFolder)) {
        setSettingsText(m_state.settings.archiveFolder, folder);
        static_cast<QLabel*>(sorvak::findControl(this, ids::kArchiveFolderText))
            ->setText(QStringLiteral(" ") + folder);
        QCoreApplication::processEvents();
    }
    setEnabled(true);
    raise();
    activateWindow();
}

}
