// Reads the durations of the archive list's files on a thread of its own, so that the window
// thread never waits for a file's header (a folder of 10,000 files takes seconds to read).
//
// Thread: every member function is called on the window thread. The read function runs on the
// reader's thread; the results are handed back to the window thread in batches, queued to the
// receiver's event loop. Ownership: the receiver owns the reader (a member), so the reader's
// thread has ended before the receiver goes and a batch queued for a receiver that went is
// dropped by Qt with the receiver's events.
#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class QObject;

namespace wavelark {

class DurationReader {
public:
    struct Request {
        uint64_t generation = 0; // the list's refresh the request belongs to
        int index = 0;           // the caller's number for the file within that refresh
        QByteArray path;
    };
    struct Result {
        uint64_t generation = 0;
        int index = 0;
        QString text; // the duration as the list shows it
    };
    // Called on the reader's thread for each file; must be safe to call there.
    using ReadFunction = std::function<QString(const QByteArray& path)>;
    // Called on the receiver's thread with each batch of results.
    using ApplyFunction = std::function<void(const std::vector<Result>& batch)>;

    DurationReader(QObject* receiver, ReadFunction read, ApplyFunction apply);
    // Stops the thread after the file it is reading; queued requests are dropped.
    ~DurationReader();
    DurationReader(const DurationReader&) = delete;
    DurationReader& operator=(const DurationReader&) = delete;

    // Replaces the read function (for tests); takes effect for the next file.
    void setReadFunction(ReadFunction read);
    // Drops every queued request of a generation before `generation`: their refresh was replaced.
    void forgetBefore(uint64_t generation);
    // Queues requests, read in order after those queued before.
    void request(std::vector<Request> requests);

private:
    void run();

    QObject* m_receiver;
    ApplyFunction m_apply;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    ReadFunction m_read;          // guarded by m_mutex
    std::deque<Request> m_queue;  // guarded by m_mutex
    uint64_t m_oldestWanted = 0;  // guarded by m_mutex
    bool m_stopping = false;      // guarded by m_mutex
    std::thread m_thread;         // last: starts once the members above are made
};

}
