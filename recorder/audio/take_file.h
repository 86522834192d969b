// The raw take file while a recording runs: created afresh by the window thread, appended by the
// capture worker, closed by whichever comes first of the window's Stop and a fault on the
// worker. Every step holds one small mutex, so no write ever reaches a closed file. The appends
// also force the take to stable storage (fdatasync) every two seconds of audio, so that a power
// loss during a recording costs at most that much of it; the sync runs on the appending thread,
// which therefore must never be the real-time audio thread.
#pragma once

#include "core/take_format.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace wavelark {

// Two seconds of the take (44100 frames a second, 4 bytes a frame): the durability cadence.
inline constexpr uint64_t kSyncInterval = 352800;

enum class AppendResult { NotRecording, Written, WriteFailed, TakeFull };

// How a take ended, read at its finish under the same lock as the appends, so that a fault met
// by the last append is never missed by the thread that finishes the take.
struct FinishedTake {
    bool started = false;                          // a take had been created since the last finish
    AppendResult fault = AppendResult::Written;    // WriteFailed or TakeFull when an append stopped it
    std::string reason;                            // the system's reason for WriteFailed
};

class TakeFile {
public:
    explicit TakeFile(uint64_t largestTake = kLargestTake, uint64_t syncInterval = kSyncInterval)
        : m_largestTake(largestTake)
        , m_syncInterval(syncInterval)
    {
    }
    ~TakeFile();

    // Creates the file ("wb+": an earlier take is discarded). False, with the system's reason in
    // error, when it cannot be created; the file is then untouched state-wise (nothing open).
    bool create(const std::string& path, std::string* error);
    // Appends whole bytes while a take is open. A failed write or a take that would pass the
    // largest size closes the file, keeping everything written before; error then says why.
    // Once syncInterval bytes have been appended since the last sync, the take is forced to
    // stable storage before the call returns; a sync that fails counts as a failed write.
    AppendResult append(const uint8_t* bytes, std::size_t byteCount, std::string* error);
    // Closes the file if it is still open and says how the take ended (started is also true when
    // a fault closed it already).
    FinishedTake finish();
    // Closes the file if it is still open; the take still counts as started until finish.
    void close();
    bool writing() const;
    uint64_t bytesWritten() const;

private:
    void closeLocked();

    const uint64_t m_largestTake;
    const uint64_t m_syncInterval;
    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;   // guarded by m_mutex
    bool m_takeStarted = false;    // guarded by m_mutex
    uint64_t m_written = 0;        // guarded by m_mutex
    uint64_t m_unsynced = 0;       // bytes appended since the last sync; guarded by m_mutex
    AppendResult m_fault = AppendResult::Written;  // guarded by m_mutex
    std::string m_faultReason;     // guarded by m_mutex
};

}
