// Start-up, shutdown and the program entry.

#include "app/recorder_application.h"

#include "core/data_folders.h"
#include "app/file_handoff.h"
#include "app/instance_guard.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/signal_closer.h"
#include "core/toolkit_binding.h"
#include "app/welcome_dialog.h"
#include "core/identifiers.h"
#include "session/take_session.h"

#include "sorvak_widgets.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace wavelark {

namespace {

// The settings file can be replaced: its folder takes new files and the file, when it exists,
// is a regular file that may be written.
bool settingsWritable(const QString& path)
{
    const QFileInfo file(path);
    if (file.exists() && (!file.isFile() || !file.isWritable()))
        return false;
    return QFileInfo(file.absolutePath()).isWritable();
}

// Ends a modal box as its Escape would, or closes another modal window.
void closeModal(QWidget* modal)
{
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

// Closes each modal window as it is shown (once its own event loop runs), while it lives.
class ModalBoxCloser : public QObject {
public:
    ModalBoxCloser() { qApp->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow() && widget->isModal())
                QTimer::singleShot(0, widget, [widget] { closeModal(widget); });
        }
        return false;
    }
};

QByteArray withoutTrailingSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return QFile::encodeName(folder);
}

}

RecorderApplication::RecorderApplication(const char* toolkitLibrary)
    : m_toolkitLibrary(toolkitLibrary)
    , m_state(std::make_unique<ProgramState>())
{
}

RecorderApplication::~RecorderApplication()
{
    shutDown();
}

void RecorderApplication::readOrCreateSettings()
{
    ProgramState& state = *m_state;
    Settings& settings = state.settings;
    const QString settingsPath = state.paths.settings();
    const QString musicFolder = defaultArchiveFolder();
    g_toolkit.MakeFolder(withoutTrailingSlash(musicFolder).constData());

    // A file cut short keeps the defaults for the fields it lacks: zeros would switch recording
    // and playback off and empty the archive folder without a word.
    settings = defaultSettings(musicFolder);
    switch (readSettingsFile(settingsPath, settings)) {
    case SettingsReadResult::Read:
        break;
    case SettingsReadResult::Missing:
        // When the file cannot be created the defaults serve this run; shutdown tries again.
        writeSettingsFile(settingsPath, settings);
        break;
    case SettingsReadResult::Unreadable:
        m_startupNotices << QStringLiteral("The settings file %1 cannot be read, so Wavelark starts with its default "
                                           "settings.")
                                .arg(settingsPath);
        break;
    }
    if (!settingsWritable(settingsPath)) {
        m_settingsUnwritable = true;
        m_startupNotices << QStringLiteral("The settings file %1 cannot be written: changes made while Wavelark runs "
                                           "will not be kept.")
                                .arg(settingsPath);
    }
    // The file is not trusted: out-of-range values would index past the program's tables.
    clampSettings(settings, musicFolder);
    // The archive folder is recreated when it went missing, one level as the toolkit makes it, so
    // that a damaged file never plants a tree of folders. When it cannot be (a drive that is not
    // mounted), the music folder serves this run and the stored folder is written back at the end.
    const QString archiveFolder = QString::fromUtf8(settings.archiveFolder);
    g_toolkit.MakeFolder(withoutTrailingSlash(archiveFolder).constData());
    if (!QFileInfo(archiveFolder).isDir()) {
        state.unavailableArchiveFolder = archiveFolder;
        setSettingsText(settings.archiveFolder, musicFolder);
        m_startupNotices << QStringLiteral("The archive folder %1 is not available. Until it is, Wavelark uses %2; "
                                           "the archive folder stays %1 in the settings.")
                                .arg(archiveFolder, musicFolder);
    }
    state.settingsLoaded = true;
}

bool RecorderApplication::startUp()
{
    const ToolkitBindResult binding = bindToolkit(m_toolkitLibrary);
    if (!binding.loaded) {
        showToolkitFailure(QStringLiteral("The audio toolkit %1 could not be loaded:\n%2")
                               .arg(QString::fromLocal8Bit(m_toolkitLibrary), binding.loadError));
        return false;
    }
    if (!binding.ok()) {
        showToolkitFailure(QStringLiteral("The audio toolkit %1 lacks these functions:\n%2")
                               .arg(QString::fromLocal8Bit(m_toolkitLibrary), binding.missingEntries.join(QStringLiteral(", "))));
        return false;
    }
    m_bound = true;
    m_starting = true;
    struct StartingFlag {
        bool& starting;
        ~StartingFlag() { starting = false; }
    } startingFlag{m_starting};

    ProgramState& state = *m_state;
    state.paths.folder = findDataFolder();
    readOrCreateSettings();

    QString skinError;
    if (!loadSkin(m_skin, &skinError)) {
        showToolkitFailure(QStringLiteral("The program's resources are damaged: %1").arg(skinError));
        return false;
    }

    if (state.settings.showWelcome) {
        WelcomeDialog welcome(state, m_skin);
        welcome.exec();
    }
    if (m_quitRequested)
        return true;

    m_window = std::make_unique<MainWindow>(state, m_skin);
    // A SIGTERM or SIGINT that came while the window was being built closes it now, in order.
    if (endStartUpOnRequest())
        return true;
    m_window->setClosedHandler([] { QCoreApplication::quit(); });
    if (m_exitAfterFirstPaint) {
        m_window->clientArea()->setFirstPaintHandler([this] {
            std::printf("first paint after %.1f ms\n", m_started.nsecsElapsed() / 1e6);
            std::fflush(stdout);
            QTimer::singleShot(0, m_window.get(), [this] { m_window->close(); });
        });
    }
    m_window->attachMenu();
    // The menu came after the session's first enable states: they are applied to it again.
    if (TakeSession* session = m_window->session())
        m_window->applyControlStates(controlStates(session->phase(), session->hasTake()));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->show();
    m_window->setCursor(Qt::ArrowCursor);
    m_window->session()->showStartupMessages();
    if (endStartUpOnRequest())
        return true;

    // Running capture and playback keep the record's values; new choices wait until shutdown.
    state.pendingLatency = state.settings.bufferSize;
    state.pendingBufferCount = state.settings.bufferCount;
    m_window->menu()->updateCheckMarks(state);

    state.mixerProgram = findMixerProgram();
    if (state.mixerProgram.isEmpty())
        m_window->menu()->removeMixerEntries();

    g_toolkit.CreateDesktopShortcut(m_window.get(), "Wavelark",
                                    QFile::encodeName(QCoreApplication::applicationFilePath()).left(1023).constData());
    for (const QString& notice : std::exchange(m_startupNotices, {}))
        QMessageBox::warning(m_window.get(), QStringLiteral("Settings"), notice);
    endStartUpOnRequest();
    return true;
}

bool RecorderApplication::endStartUpOnRequest()
{
    if (!m_quitRequested)
        return false;
    if (m_window) {
        m_window->close();
        m_window.reset();
    }
    return true;
}

void RecorderApplication::requestClose()
{
    m_quitRequested = true;
    if (!m_modalBoxCloser)
        m_modalBoxCloser = std::make_unique<ModalBoxCloser>();
    // Innermost first; a box that does not go (it refused) ends the loop.
    for (QWidget* modal = QApplication::activeModalWidget(); modal;) {
        closeModal(modal);
        QWidget* next = QApplication::activeModalWidget();
        modal = next != modal ? next : nullptr;
    }
    // During start-up the window (if any) is closed once start-up comes back from the box it was
    // in: the event loop that would end with it is not running yet.
    if (m_window && !m_starting)
        m_window->close();
}

void RecorderApplication::shutDown()
{
    ProgramState& state = *m_state;
    // Shutdown's own warning (settings not saved) is shown as before.
    m_modalBoxCloser.reset();
    // Closing the window stops capture and closes the player.
    if (m_window) {
        m_window->close();
        m_window.reset();
    }
    m_skin = Skin{};

    if (state.settingsLoaded) {
        if (state.latencyChanged)
            state.settings.bufferSize = state.pendingLatency;
        if (state.bufferCountChanged)
            state.settings.bufferCount = state.pendingBufferCount;
        state.latencyChanged = false;
        state.bufferCountChanged = false;
        if (!state.unavailableArchiveFolder.isEmpty())
            setSettingsText(state.settings.archiveFolder, state.unavailableArchiveFolder);
        QString error;
        if (!writeSettingsFile(state.paths.settings(), state.settings, &error) && !m_settingsUnwritable)
            QMessageBox::warning(nullptr, QStringLiteral("Settings"),
                                 QStringLiteral("The settings could not be saved in %1 (%2).\n\n"
                                                "The settings file as it was before this session has been kept.")
                                     .arg(state.paths.settings(), error));
        state.settingsLoaded = false;
    }
    if (m_bound) {
        releaseToolkit();
        m_bound = false;
    }
}

int wavelarkMain(int argc, char** argv)
{
    QElapsedTimer started;
    started.start();
    std::unique_ptr<QApplication> application;
    if (!QCoreApplication::instance())
        application = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    const QString dataFolder = findDataFolder();
    const QString file = fileToOpen(QCoreApplication::arguments());
    InstanceGuard guard;
    QString lockProblem;
    if (!guard.acquire(dataFolder, &lockProblem)) {
        if (!lockProblem.isEmpty()) {
            showInstanceLockFailure(lockProblem);
            return 1;
        }
        if (file.isEmpty() || !handFileToRunningRecorder(dataFolder, file))
            showAlreadyRunning();
        return 0;
    }

    RecorderApplication recorder;
    SignalCloser closer([&recorder] { recorder.requestClose(); });
    if (qEnvironmentVariableIntValue("WAVELARK_EXIT_AFTER_FIRST_PAINT") != 0)
        recorder.setExitAfterFirstPaint(started);
    if (!recorder.startUp()) {
        recorder.shutDown();
        return 1;
    }
    if (MainWindow* window = recorder.mainWindow()) {
        const auto open = [window](const QString& path) {
            if (TakeSession* session = window->session())
                openFileInWindow(*window, *session, sorvak::findControl(window, ids::kImportButton)->isEnabled(), path);
        };
        // Without the socket a second start says that the recorder runs, as it always has.
        FileReceiver receiver(open);
        receiver.listen(dataFolder);
        if (!file.isEmpty())
            QTimer::singleShot(0, window, [open, file] { open(file); });
        QApplication::exec();
    }
    recorder.shutDown();
    return 0;
}

}
