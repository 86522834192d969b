// Playback and monitor-through: the one toolkit player that runs from the main window's
// initialisation to shutdown, and the fill function that feeds each of its buffers from the take
// (while playing), the monitor FIFO (while "Monitor - Thru" is on) or silence, scaled by the play
// gain.
//
// Threads: open, close, startPlaying and stopPlaying run on the window thread; fill runs on the
// player's worker thread. The take file is opened, read and closed under one small mutex (the
// worker is never the real-time thread). The end of the take reaches the window by a queued
// invocation, so the window may close the player at any time without a deadlock.
#pragma once

#include "audio/device_choice.h"

#include "core/window_thread_poster.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>

namespace wavelark {

class MonitorFifo;

class TakePlayer {
public:
    // takePath: the raw take file; monitor must outlive the player. ended runs on the creating
    // thread when the take or the selection has played to its end; the window then stops
    // playing (Play command).
    TakePlayer(QString takePath, DeviceChoice choice, MonitorFifo& monitor, std::function<void()> ended);
    ~TakePlayer();

    // Opens the toolkit's player (CreateWaveOut) with the chosen buffer size, count and playback
    // device. False when the toolkit refused (no such device, or another player is open).
    bool open();
    bool isOpen() const { return m_handle != nullptr; }
    // Closes the toolkit's player if it is open. Idempotent.
    void close();

    // Starts playing the selection between the two edges (view columns, either may be the
    // larger). With tail, a selection longer than two seconds plays only its last two seconds.
    // An empty selection plays from its column to the end of the take; when the play ends, the
    // cursor returns to firstEdge. False, and nothing changes, when the player is not open or
    // the take file cannot be opened.
    bool startPlaying(uint32_t firstEdge, uint32_t secondEdge, bool tail);
    // The same for a selection known to the frame: the bytes start..end of the take (whole
    // frames, start <= end; end == start plays from start to the end of the take), the cursor
    // starting at startColumn and returning to returnColumn (whole-take columns).
    bool startPlayingBytes(uint32_t start, uint32_t end, double startColumn, double returnColumn, bool tail);
    // Stops playing and closes the take file; zeroes the monitor FIFO's write position.
    void stopPlaying();
    bool playing() const { return m_playing.load(); }

    // The play cursor, a view column 0..555.
    double playCursor() const { return m_playCursor.load(); }
    void setPlayCursor(double column) { m_playCursor = column; }
    // The play-enabled checkbox: off plays the take silently at its normal pace.
    void setPlayEnabled(bool enabled) { m_playEnabled = enabled; }
    // 0.0..1.0, from the "Play" slider; scales the take and the monitor alike.
    void setPlayGain(double gain) { m_playGain = gain; }

    // The byte range of the current play (for checks).
    uint32_t playStart() const { return m_start; }
    uint32_t playEnd() const { return m_end; }

    // Fills one output buffer of the chosen buffer size. Player worker.
    void fill(uint8_t* buffer);
    uint32_t bufferSize() const { return m_bufferSize; }

private:
    bool beginPlay(uint32_t start, uint32_t end, bool emptySelection, double startColumn, double returnColumn,
                   bool tail);
    void fillFromTake(uint8_t* buffer);

    const QString m_takePath;
    const DeviceChoice m_choice;
    MonitorFifo& m_monitor;
    std::function<void()> m_ended;
    WindowThreadPoster m_poster;  // the ended handler's thread
    uint32_t m_bufferSize = 0;
    void* m_handle = nullptr;     // the toolkit's player while open; window thread

    std::mutex m_takeMutex;
    std::FILE* m_take = nullptr;   // guarded by m_takeMutex
    uint32_t m_takeLength = 0;     // guarded by m_takeMutex
    uint32_t m_start = 0;          // guarded by m_takeMutex
    uint32_t m_end = 0;            // guarded by m_takeMutex
    uint32_t m_position = 0;       // guarded by m_takeMutex
    bool m_emptySelection = false; // guarded by m_takeMutex
    double m_returnColumn = 0.0;   // guarded by m_takeMutex
    bool m_endPosted = false;      // guarded by m_takeMutex
    // Counts the plays, so that the end of an earlier play never stops a later one.
    std::atomic<uint64_t> m_generation{0};

    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_playEnabled{true};
    std::atomic<double> m_playGain{1.0};
    std::atomic<double> m_playCursor{0.0};
};

// Scales every 16-bit sample by gain, truncated toward zero.
void applyPlayGain(uint8_t* bytes, std::size_t byteCount, double gain);

}
