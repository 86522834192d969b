// WaitTime: waits a number of milliseconds of the monotonic clock, polling the caller's function.

#include "sorvak.h"

#include <time.h>

namespace {

// Milliseconds of the monotonic clock, wrapping like a 32-bit tick counter.
uint32_t tickCount()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1'000'000);
}

}

SORVAK_API uint32_t WaitTime(uint32_t milliseconds, SorvakPollFunction poll)
{
    // The elapsed time is measured as an unsigned difference, so a wait that spans the 49.7-day
    // wrap of the tick count still lasts as long as asked.
    uint32_t start = tickCount();
    for (;;) {
        uint32_t now = tickCount();
        uint32_t elapsed = now - start;
        if (elapsed >= milliseconds)
            return now;
        if (poll) {
            int result = poll(milliseconds - elapsed);
            if (result != 0)
                return static_cast<uint32_t>(result);
        }
        // Short enough that the tick is not overshot by more than a millisecond, long enough
        // not to keep a core busy.
        timespec pause{0, 500'000};
        nanosleep(&pause, nullptr);
    }
}
