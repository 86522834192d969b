#include "archive/duration_reader.h"

#include <QMetaObject>
#include <QObject>

#include <chrono>

namespace wavelark {

namespace {

// A batch goes to the window thread after this many results or this long, whichever comes first,
// and whenever the queue runs dry: few enough events, each cheap to apply.
constexpr std::size_t kBatchResults = 32;
constexpr auto kBatchInterval = std::chrono::milliseconds(40);

}

DurationReader::DurationReader(QObject* receiver, ReadFunction read, ApplyFunction apply)
    : m_receiver(receiver)
    , m_apply(std::move(apply))
    , m_read(std::move(read))
    , m_thread([this] { run(); })
{
}

DurationReader::~DurationReader()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void DurationReader::setReadFunction(ReadFunction read)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_read = std::move(read);
}

void DurationReader::forgetBefore(uint64_t generation)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_oldestWanted = generation;
    while (!m_queue.empty() && m_queue.front().generation < generation)
        m_queue.pop_front();
}

void DurationReader::request(std::vector<Request> requests)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (Request& request : requests)
            m_queue.push_back(std::move(request));
    }
    m_wake.notify_one();
}

void DurationReader::run()
{
    std::vector<Result> batch;
    auto batchStart = std::chrono::steady_clock::now();
    auto deliver = [&] {
        if (batch.empty())
            return;
        QMetaObject::invokeMethod(
            m_receiver, [apply = m_apply, results = std::move(batch)] { apply(results); }, Qt::QueuedConnection);
        batch.clear();
    };
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_queue.empty()) {
            lock.unlock();
            deliver();
            lock.lock();
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        }
        if (m_stopping)
            return;
        Request request = std::move(m_queue.front());
        m_queue.pop_front();
        if (request.generation < m_oldestWanted)
            continue;
        const ReadFunction read = m_read;
        lock.unlock();
        if (batch.empty())
            batchStart = std::chrono::steady_clock::now();
        batch.push_back(Result{request.generation, request.index, read(request.path)});
        if (batch.size() >= kBatchResults || std::chrono::steady_clock::now() - batchStart >= kBatchInterval)
            deliver();
        lock.lock();
    }
}

}
