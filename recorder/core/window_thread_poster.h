// Hands calls from the capture and player workers to the thread that created the poster (the
// window thread), in order, without ever waiting for that thread.
//
// The calls wait in a queue under a std::mutex, and an eventfd watched by a socket notifier wakes
// the window thread to run them. No Qt object crosses threads: queued functor calls or posted
// events would be handed over under Qt's own locks, which the thread sanitizer cannot see (Qt is
// not built with it); here every hand-over goes through a lock or descriptor the sanitizer sees.
#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace wavelark {

class WindowThreadPoster {
public:
    WindowThreadPoster();
    // Calls still queued are dropped. The workers must have stopped posting.
    ~WindowThreadPoster();
    WindowThreadPoster(const WindowThreadPoster&) = delete;
    WindowThreadPoster& operator=(const WindowThreadPoster&) = delete;

    // Any thread. The call runs later on the poster's thread, from its event loop.
    void post(std::function<void()> call);

private:
    void runQueued();

    std::mutex m_mutex;
    std::vector<std::function<void()>> m_queue;  // guarded by m_mutex
    int m_wakeDescriptor = -1;                   // eventfd
    std::unique_ptr<QSocketNotifier> m_wakeNotifier;
};

}
