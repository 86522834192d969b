// The progress reporter handed to the toolkit's converters by import and save: shows the
// percentage on the main window's progress bar and status line and keeps the window alive.
// The toolkit's progress callback carries no context, so the target is process-wide.
// Window thread only.
#pragma once

class QWidget;

namespace wavelark {

enum class ProgressActivity { Saving, Importing };

// The window (with controls 1008 and 1010) the reporter writes to; null to detach. Resets the
// call count.
void setProgressTarget(QWidget* window);
// What the status line names: " Saving Audio File . . . " or " Importing Audio File . . . ".
void setProgressActivity(ProgressActivity activity);

// Runs waiting events on its 1st, 21st, 41st ... call, sets the progress bar to percent and the
// status line to the activity's text followed by the percentage and " %". Always returns 0
// (never cancels).
int progressReporter(int percent);

}
