// The recorder's start-up and shutdown around the main window, and the program entry.
#pragma once

#include "app/program_state.h"

#include "core/toolkit_binding.h"

#include "widgets/skin.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

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

    // Closes the window (capture and the player stop with it), releases the drawing resources,
    // applies the pending latency and buffer count, writes settings.dat (a failure says so and
    // keeps the old file) and releases the toolkit. Safe after a failed start-up (nothing is
    // written then).
    void shutDown();

    // For SIGTERM and SIGINT (window thread): closes every open modal box, innermost first, and
    // each one shown after it until shutdown begins, so that no box waits for a user who is gone;
    // then closes the main window as its close box does. While start-up runs (the welcome
    // dialog, a start-up message) start-up ends early instead, without a main window, so that
    // the caller goes straight to shutDown (settings written, the lock released at exit).
    void requestClose();

    ProgramState& state() { return *m_state; }
    MainWindow* mainWindow() const { return m_window.get(); }
    const Skin& skin() const { return m_skin; }

    // When set, the first paint of the main window prints the time since the program started
    // and closes the window (for start-up measurements).
    void setExitAfterFirstPaint(QElapsedTimer started) { m_exitAfterFirstPaint = true; m_started = started; }

private:
    void readOrCreateSettings();
    // After a close request during start-up: closes the main window and forgets it. False when
    // no close was requested.
    bool endStartUpOnRequest();

    const char* m_toolkitLibrary;
    std::unique_ptr<ProgramState> m_state;
    Skin m_skin;
    std::unique_ptr<MainWindow> m_window;
    bool m_bound = false;
    bool m_quitRequested = false;
    bool m_starting = false;
    std::unique_ptr<QObject> m_modalBoxCloser;  // from a close request until shutdown
    bool m_exitAfterFirstPaint = false;
    bool m_settingsUnwritable = false;  // told at start-up: shutdown does not tell again
    QStringList m_startupNotices;       // shown once the main window is up
    QElapsedTimer m_started;
};

// The program: a single instance guard, start-up, the event loop, shutdown. Creates the
// QApplication unless one exists. Returns the process's exit status.
int wavelarkMain(int argc, char** argv);

}
