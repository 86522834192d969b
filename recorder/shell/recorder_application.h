// The recorder's start-up and shutdown around the main window, and the program entry.
#pragma once

#include "shell/shell_state.h"
#include "shell/skin.h"
#include "shell/toolkit_binding.h"

#include <QElapsedTimer>

#include <memory>

namespace wavelark {

class MainWindow;

class RecorderApplication {
public:
    // toolkitLibrary: the toolkit's file name, found by the system's normal library search.
    explicit RecorderApplication(const char* toolkitLibrary = kToolkitLibraryName);
    ~RecorderApplication();
    RecorderApplication(const RecorderApplication&) = delete;
    RecorderApplication& operator=(const RecorderApplication&) = delete;

    // Binds the toolkit, finds the folders, reads or creates settings.dat, creates the shared
    // drawing resources, shows the welcome dialog when the record asks for it, then creates and
    // shows the main window with its menu. Returns false, after telling the user why, when the
    // program cannot run (the toolkit is missing or incomplete); the main window does not exist
    // then. A QApplication must exist.
    bool startUp();

    // Closes the player, releases the drawing resources and the window, applies the pending
    // latency and buffer count, writes settings.dat and releases the toolkit. Safe after a failed
    // start-up (nothing is written then).
    void shutDown();

    // Closes the main window as its close box does; before it exists (while the welcome dialog
    // is open) closes the dialog and ends start-up early. For SIGTERM and SIGINT.
    void requestClose();

    ShellState& state() { return *m_state; }
    MainWindow* mainWindow() const { return m_window.get(); }
    const Skin& skin() const { return m_skin; }

    // When set, the first paint of the main window prints the time since the program started
    // and closes the window (for start-up measurements).
    void setExitAfterFirstPaint(QElapsedTimer started) { m_exitAfterFirstPaint = true; m_started = started; }

private:
    void readOrCreateSettings();

    const char* m_toolkitLibrary;
    std::unique_ptr<ShellState> m_state;
    Skin m_skin;
    std::unique_ptr<MainWindow> m_window;
    bool m_bound = false;
    bool m_quitRequested = false;
    bool m_exitAfterFirstPaint = false;
    QElapsedTimer m_started;
};

// The program: a single instance guard, start-up, the event loop, shutdown. Creates the
// QApplication unless one exists. Returns the process's exit status.
int wavelarkMain(int argc, char** argv);

}
