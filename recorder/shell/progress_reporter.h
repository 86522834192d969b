// The progress reporter handed to the toolkit's converters by import and save: shows the
// percentage on the main window's progress bar and status line and keeps the window alive.
#pragma once

class QWidget;

namespace wavelark {

struct ShellState;

// The window (with controls 1008 and 1010) and state the reporter writes to; null to detach.
// Resets the call count.
void setProgressTarget(QWidget* window, const ShellState* state);

// Runs waiting events on its 1st, 21st, 41st ... call, sets the progress bar to percent and the
// status line to " Saving Audio File . . . " while a save runs, else " Importing Audio File . . . ",
// followed by the percentage and " %". Always returns 0 (never cancels). Window thread.
int progressReporter(int percent);

}
