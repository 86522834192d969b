// Start-up, shutdown and the program entry.

#include "shell/recorder_application.h"

#include "shell/data_folders.h"
#include "shell/instance_guard.h"
#include "shell/main_menu.h"
#include "shell/main_window.h"
#include "shell/messages.h"
#include "shell/signal_closer.h"
#include "shell/toolkit_binding.h"
#include "shell/welcome_dialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace wavelark {

namespace {

QByteArray withoutTrailingSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return QFile::encodeName(folder);
}

}

RecorderApplication::RecorderApplication(const char* toolkitLibrary)
    : m_toolkitLibrary(toolkitLibrary)
    , m_state(std::make_unique<ShellState>())
{
}

RecorderApplication::~RecorderApplication()
{
    shutDown();
}

void RecorderApplication::readOrCreateSettings()
{
    ShellState& state = *m_state;
    Settings& settings = state.settings;
    const QString musicFolder = defaultArchiveFolder();
    g_toolkit.MakeFolder(withoutTrailingSlash(musicFolder).constData());

    settings = Settings{};
    if (readSettingsFile(state.settingsPath, settings) != SettingsReadResult::Read) {
        g_toolkit.MakeFolder(QFile::encodeName(musicFolder).constData());
        settings = defaultSettings(musicFolder);
        // When the file cannot be created the defaults serve this run; shutdown tries again.
        writeSettingsFile(state.settingsPath, settings);
    }
    // The file is not trusted: out-of-range values would index past the program's tables.
    clampSettings(settings, musicFolder);
    // The archive folder is recreated when it went missing, one level as the toolkit makes it, so
    // that a damaged file never plants a tree of folders; when it cannot be, the music folder
    // takes its place.
    const QString archiveFolder = QString::fromUtf8(settings.archiveFolder);
    g_toolkit.MakeFolder(withoutTrailingSlash(archiveFolder).constData());
    if (!QFileInfo(archiveFolder).isDir())
        setSettingsText(settings.archiveFolder, musicFolder);
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

    ShellState& state = *m_state;
    state.dataFolder = findDataFolder();
    state.settingsPath = state.dataFolder + QStringLiteral("settings.dat");
    state.takePath = state.dataFolder + QStringLiteral("recording.raw");
    readOrCreateSettings();

    state.monitorFifo.assign(kMonitorFifoSize, 0);
    state.monitorWritePosition = 0;

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
    m_window->setClosedHandler([] { QCoreApplication::quit(); });
    if (m_exitAfterFirstPaint) {
        m_window->clientArea()->setFirstPaintHandler([this] {
            std::printf("first paint after %.1f ms\n", m_started.nsecsElapsed() / 1e6);
            std::fflush(stdout);
            QTimer::singleShot(0, m_window.get(), [this] { m_window->close(); });
        });
    }
    m_window->attachMenu();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->show();
    m_window->setCursor(Qt::ArrowCursor);

    // Running capture and playback keep the record's values; new choices wait until shutdown.
    state.pendingLatency = state.settings.bufferSize;
    state.pendingBufferCount = state.settings.bufferCount;
    m_window->menu()->updateCheckMarks(state);

    state.mixerProgram = findMixerProgram();
    if (state.mixerProgram.isEmpty())
        m_window->menu()->removeMixerEntries();

    g_toolkit.CreateDesktopShortcut(m_window.get(), "Wavelark",
                                    QFile::encodeName(QCoreApplication::applicationFilePath()).left(1023).constData());
    return true;
}

void RecorderApplication::requestClose()
{
    if (m_window) {
        m_window->close();
        return;
    }
    m_quitRequested = true;
    if (QWidget* modal = QApplication::activeModalWidget())
        modal->close();
}

void RecorderApplication::shutDown()
{
    ShellState& state = *m_state;
    if (state.player && g_toolkit.CreateWaveOut) {
        g_toolkit.CreateWaveOut(0, 0, 0, 0, nullptr, state.player);
        state.player = nullptr;
    }
    if (m_window) {
        m_window->close();
        m_window.reset();
    }
    m_skin = Skin{};
    state.monitorFifo = std::vector<uint8_t>();

    if (state.settingsLoaded) {
        if (state.latencyChanged)
            state.settings.bufferSize = state.pendingLatency;
        if (state.bufferCountChanged)
            state.settings.bufferCount = state.pendingBufferCount;
        state.latencyChanged = false;
        state.bufferCountChanged = false;
        writeSettingsFile(state.settingsPath, state.settings);
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

    InstanceGuard guard;
    if (!guard.acquire()) {
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
    if (recorder.mainWindow())
        QApplication::exec();
    recorder.shutDown();
    return 0;
}

}
