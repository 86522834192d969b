#include "core/window_thread_poster.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace wavelark {

WindowThreadPoster::WindowThreadPoster()
    : m_wakeDescriptor(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (m_wakeDescriptor < 0)
        throw std::runtime_error("cannot create the window thread's wake-up descriptor");
    m_wakeNotifier = std::make_unique<QSocketNotifier>(m_wakeDescriptor, QSocketNotifier::Read);
    QObject::connect(m_wakeNotifier.get(), &QSocketNotifier::activated, m_wakeNotifier.get(), [this] {
        uint64_t wakeUps = 0;
        while (read(m_wakeDescriptor, &wakeUps, sizeof wakeUps) < 0 && errno == EINTR) {
        }
        runQueued();
    });
}

WindowThreadPoster::~WindowThreadPoster()
{
    m_wakeNotifier.reset();
    close(m_wakeDescriptor);
}

void WindowThreadPoster::post(std::function<void()> call)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        wake = m_queue.empty();
        m_queue.push_back(std::move(call));
    }
    // One wake-up serves every call queued before the window thread takes the queue. An eventfd
    // write only fails when its counter would overflow, and then a wake-up is pending anyway.
    if (wake) {
        const uint64_t one = 1;
        while (write(m_wakeDescriptor, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

void WindowThreadPoster::runQueued()
{
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_mutex);
        calls.swap(m_queue);
    }
    for (std::function<void()>& call : calls)
        call();
}

}
