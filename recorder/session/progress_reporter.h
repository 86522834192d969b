// The toolkit's converters (WMA2WAV in an import, the encoders in a save) report progress through
// a callback without context (SorvakProgressFunction). A ProgressRoute sends those calls to the
// running job's own function for as long as it lives, and the route in force before it takes
// over again when it goes: save and import each hold one around their conversion, so nothing is
// set for the whole process. Window thread only, as are the converters' calls.
#pragma once

#include <functional>

namespace wavelark {

class TakeDisplay;

class ProgressRoute {
public:
    // report gets each percentage. Events waiting on the window thread run before the 1st, 21st,
    // 41st ... call of this route's lifetime, so the window stays alive during a conversion.
    explicit ProgressRoute(std::function<void(int)> report);
    ~ProgressRoute();
    ProgressRoute(const ProgressRoute&) = delete;
    ProgressRoute& operator=(const ProgressRoute&) = delete;

private:
    friend int progressReporter(int percent);
    std::function<void(int)> m_report;
    ProgressRoute* m_previous;
    unsigned m_calls = 0;
};

enum class ProgressActivity { Saving, Importing };

// A conversion's progress on display: the progress bar at the percentage and the status line
// " Saving Audio File . . . N %" or " Importing Audio File . . . N %". display must outlive it.
std::function<void(int)> conversionProgress(TakeDisplay& display, ProgressActivity activity);

// The callback handed to the converters: passes percent to the innermost route alive, nothing
// when none is. Always returns 0 (never cancels).
int progressReporter(int percent);

}
