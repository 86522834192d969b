// The worker thread of a wave-in or a wave-out: runs the layer's service pass, and through it the
// caller's callbacks, whenever the audio thread or a control call wakes it.
#pragma once

#include <semaphore.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace wavelark::audio {

class StreamWorker {
public:
    // service runs on the worker thread after every wake-up.
    explicit StreamWorker(std::function<void()> service);
    ~StreamWorker();
    StreamWorker(const StreamWorker&) = delete;
    StreamWorker& operator=(const StreamWorker&) = delete;

    // Real-time safe: a semaphore post, no lock, no allocation.
    void wake() noexcept;
    // Runs task on the worker thread between two service passes and returns once it has run;
    // runs it at once when called on the worker thread itself.
    void runAndWait(const std::function<void()>& task);
    // Ends the thread after the pass under way; called once, never from the worker thread.
    void stop();
    bool onWorkerThread() const;

private:
    void run();

    std::function<void()> m_service;
    sem_t m_wakeup;
    std::mutex m_mutex;
    std::condition_variable m_taskDone;
    const std::function<void()>* m_task = nullptr; // guarded by m_mutex
    bool m_stopping = false;                        // guarded by m_mutex
    std::thread m_thread;
};

}
