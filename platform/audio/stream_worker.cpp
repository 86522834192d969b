#include "stream_worker.h"

#include <cerrno>

namespace wavelark::audio {

StreamWorker::StreamWorker(std::function<void()> service)
    : m_service(std::move(service))
{
    sem_init(&m_wakeup, 0, 0);
    m_thread = std::thread([this] { run(); });
}

StreamWorker::~StreamWorker()
{
    stop();
    sem_destroy(&m_wakeup);
}

void StreamWorker::wake() noexcept
{
    sem_post(&m_wakeup);
}

bool StreamWorker::onWorkerThread() const
{
    return std::this_thread::get_id() == m_thread.get_id();
}

void StreamWorker::runAndWait(const std::function<void()>& task)
{
    if (onWorkerThread()) {
        task();
        return;
    }
    std::unique_lock lock(m_mutex);
    m_taskDone.wait(lock, [this] { return m_task == nullptr; });
    m_task = &task;
    lock.unlock();
    wake();
    lock.lock();
    m_taskDone.wait(lock, [this, &task] { return m_task != &task; });
}

void StreamWorker::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    wake();
    m_thread.join();
}

void StreamWorker::run()
{
    for (;;) {
        while (sem_wait(&m_wakeup) != 0 && errno == EINTR) {
        }
        // Several posts may have piled up while the last pass ran; one pass serves them all.
        while (sem_trywait(&m_wakeup) == 0) {
        }
        const std::function<void()>* task = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
            task = m_task;
        }
        if (task) {
            (*task)();
            std::lock_guard lock(m_mutex);
            m_task = nullptr;
            m_taskDone.notify_all();
        }
        m_service();
    }
}

}
