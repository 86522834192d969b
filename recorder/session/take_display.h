// What the take's session shows the user, and the questions it asks: the status line, the
// progress bar (its value, and its text while idle: the take's health), the Record and Play
// buttons' captions, message boxes, the controls' enable states, the archive list and the window
// itself. The main window implements it over its controls; tests implement it to record what was
// shown and to answer questions. Window thread only; the session calls it synchronously, and
// warn(), ask() and error() return only once the user has answered.
#pragma once

#include "session/control_states.h"
#include "session/recording_health.h"

#include <QString>

namespace wavelark {

class TakeDisplay {
public:
    virtual ~TakeDisplay() = default;

    // The status line above the waveform.
    virtual void setStatusText(const QString& text) = 0;
    // The progress bar's value, 0..100.
    virtual void setProgress(int percent) = 0;
    // The idle progress bar's text (the take's health, or what was just done); warning draws it
    // in red. clearHealth hides the text again.
    virtual void showHealth(const HealthDisplay& display) = 0;
    virtual void clearHealth() = 0;
    virtual void setRecordButtonText(const QString& text) = 0;
    virtual void setPlayButtonText(const QString& text) = 0;

    // A warning message box with an OK button.
    virtual void warn(const QString& caption, const QString& text) = 0;
    // An error message box with an OK button (a file of the wrong format, no input device).
    virtual void error(const QString& caption, const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool ask(const QString& caption, const QString& text) = 0;

    // Enables and disables the window's controls and menus as states says.
    virtual void applyControlStates(const ControlStates& states) = 0;
    // Lists the archive folder afresh (after a save wrote into it).
    virtual void refreshArchive() = 0;
    // Closes the window once the running command has returned (the program then ends).
    virtual void closeWindow() = 0;
};

}
