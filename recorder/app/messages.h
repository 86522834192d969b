// The recorder shell's message boxes and their texts.
#pragma once

#include <QString>

class QWidget;

namespace wavelark {

extern const char kAlreadyRunningCaption[];
extern const char kAlreadyRunningText[];
extern const char kInstanceLockFailureCaption[];
extern const char kRestartCaption[];
extern const char kRestartText[];

// "An Instance of Wavelark is already running..." with no owner.
void showAlreadyRunning();
// The single-instance lock could not be taken at all (not held by another copy): the program does
// not start, and the box, with no owner, says why.
void showInstanceLockFailure(const QString& problem);
// "Changes Require Restart", owned by the main window.
void showRestartNotice(QWidget* owner);
// The About box: "Wavelark 2.0 - Build " and the build date, then the credit lines.
void showAbout(QWidget* owner);
// The toolkit could not be bound: what is wrong, with no owner, before the main window exists.
void showToolkitFailure(const QString& detail);

// The first line of the About box.
QString aboutHeadline();

}
