// The monitor FIFO: the live input on its way to the player while "Monitor - Thru" is on. The
// capture worker appends each captured buffer at the write position, the player worker takes
// one output buffer from the front, and the window's timer starts the write position over from
// time to time so that a stalled player can never let it fill up.
//
// Threads: both workers are ordinary threads of the audio layer (never the real-time thread), so
// the bytes are guarded by one small mutex; the write position and the thru switch are atomics
// that any thread may read or set.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace wavelark {

class MonitorFifo {
public:
    static constexpr std::size_t kSize = 1048576;

    MonitorFifo();

    // "Monitor - Thru": on, the capture worker feeds the FIFO and the player plays from it.
    void setThru(bool on) { m_thru = on; }
    bool thru() const { return m_thru.load(); }

    // Zeroes bufferSize bytes at the write position, copies the captured bytes there, advances
    // the position by bufferSize and starts over at 0 once it passes (size − bufferSize).
    // Capture worker.
    void append(const uint8_t* bytes, std::size_t byteCount, std::size_t bufferSize);
    // Copies the first byteCount bytes into into, moves the rest toward the front, zeroes the
    // freed end and lowers the write position by byteCount, not below 0. Player worker.
    void take(uint8_t* into, std::size_t byteCount);

    void resetWritePosition() { m_writePosition = 0; }
    uint32_t writePosition() const { return m_writePosition.load(); }

private:
    std::mutex m_mutex;
    std::vector<uint8_t> m_bytes;  // guarded by m_mutex
    std::atomic<uint32_t> m_writePosition{0};
    std::atomic<bool> m_thru{false};
};

}
