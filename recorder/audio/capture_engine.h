// The recording engine: the wave input runs from the main window's initialisation to its
// destruction, recording or not. Every captured buffer is scaled by the record gain, measured
// for the level meters, copied to the monitor FIFO while "Monitor - Thru" is on and appended to
// the raw take file while recording.
//
// Threads: start, stop and the recording switch run on the window thread; the capture callback
// runs on the wave input's worker thread (never the real-time thread). The callback reaches the
// window only by posting to it, never by a blocking call, so the window may wait for the worker
// at any time. The gain, the enable switch and the peaks are atomics any thread may touch.
#pragma once

#include "audio/device_choice.h"
#include "audio/level_peaks.h"
#include "audio/pre_roll.h"
#include "audio/take_file.h"
#include "audio/unattended_side.h"

#include "core/window_thread_poster.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace wavelark {

namespace audio {
class WaveIn;
struct WaveBuffer;
struct XrunCounts;
}

class MonitorFifo;

inline constexpr char kNoInputCaption[] = "ERROR";
inline constexpr char kNoInputText[] = "There appears to be no 'Wave Input' devices attached to your computer!";

// What a recording lost between Record and Stop: input the layer had to throw away because the
// capture worker fell behind (a disk stalling for seconds), and overruns the sound system
// reported itself (their length is unknown).
struct RecordingLosses {
    uint64_t droppedFrames = 0;
    uint64_t deviceOverruns = 0;
    bool any() const { return droppedFrames != 0 || deviceOverruns != 0; }
};

// How a take is going, or went: what the user needs to know while it can still be done again.
struct RecordingHealth {
    uint64_t clippedLeft = 0;   // input samples at full scale, counted before the record gain
    uint64_t clippedRight = 0;
    double loudest = 0.0;       // the largest value recorded, after the gain (0.0..1.0)
    RecordingLosses losses;
    uint64_t takeBytes = 0;     // the take's size so far
};

class CaptureEngine {
public:
    enum class StartResult {
        Started,
        NoInputDevice,  // the system has no input device: show kNoInputText and end the program
        NotOpened,      // the chosen device could not be opened or started: the meters rest,
                        // Record is refused, everything else works
    };

    // Window-thread handlers, posted by the capture worker; none runs after the engine is gone.
    struct Handlers {
        // A buffer was appended to the take; elapsedSeconds is the take's time before it.
        std::function<void(double elapsedSeconds)> recordingStatus;
        // The recording stopped by itself (disk full, largest take reached); the take written so
        // far is kept and still needs finishing: stopRecording then says why it stopped.
        std::function<void()> recordingStopped;
        // A take that waited for sound has started: its pre-roll and the block that brought the
        // sound are in it.
        std::function<void()> takeStarted = {};
        // The take's unattended rules say it is over (the side ended, its time is up): stop it as
        // the Stop button does. Posted once a take; the take goes on being appended until then.
        std::function<void()> unattendedStop = {};
    };

    // takePath: the raw take file. monitor must outlive the engine. syncInterval: the bytes
    // appended between forcing the take to stable storage (see TakeFile). Create on the window
    // thread.
    CaptureEngine(QString takePath, DeviceChoice choice, MonitorFifo& monitor, Handlers handlers,
                  uint64_t largestTake = kLargestTake, uint64_t syncInterval = kSyncInterval);
    ~CaptureEngine();

    // Opens the record device with its buffer size and count and starts it. NotOpened says why
    // in error.
    StartResult start(QString* error = nullptr);
    // Sets the stopping flag, resets the device (every queued buffer comes back once, unused)
    // and closes it. A recording still running is stopped and its file closed; the take stays on
    // disk and stopRecording then returns true, so the caller finishes it as any take. Idempotent.
    void stop();
    bool running() const { return m_waveIn != nullptr; }

    // Creates the raw take file afresh and starts appending from the next buffer (also before
    // start, so that a take can begin with the first buffer captured). False, with a message for
    // the user in error, when start found the record device unusable (the old take is then
    // untouched) or the file cannot be created; nothing then changes. rules: the take's unattended
    // rules; with startOnSound nothing is appended until sound comes (waitingForSound), and then
    // the take begins with the kPreRollSeconds before that block.
    bool startRecording(QString* error, const UnattendedRules& rules = {});
    // The take is armed and waits for sound. Any thread.
    bool waitingForSound() const { return m_waiting.load(); }
    // How a take ended.
    struct TakeEnding {
        bool started = false;   // a take had been started (also when a fault closed it already)
        QString faultMessage;   // for the user, when the recording stopped by itself
        RecordingLosses losses; // what the capture lost while recording
        RecordingHealth health; // the whole take's, losses included
    };
    // Closes the take and says how it ended. A fault met by any append before this call is in
    // the answer, whichever of the two came first.
    TakeEnding stopRecording();
    // The recording flag: a take is being appended.
    bool recording() const { return m_recording.load(); }
    double elapsedSeconds() const { return m_elapsedSeconds.load(); }
    // The running take's health. Window thread, while recording.
    RecordingHealth health() const;

    // The record-enabled checkbox: off makes the captured input silent.
    void setRecordEnabled(bool enabled) { m_recordEnabled = enabled; }
    // 0.0..1.0, from the "Rec" slider.
    void setRecordGain(double gain) { m_recordGain = gain; }
    double recordGain() const { return m_recordGain.load(); }
    LevelPeaks& levels() { return m_levels; }

    // The capture callback, public so that tests can hand it buffers directly. Capture worker.
    void processBuffer(uint8_t* bytes, uint32_t byteCount);

private:
    void onBuffer(audio::WaveBuffer& buffer);
    // Capture worker: the block's turn under the unattended rules; false while it is held in the
    // pre-roll instead of the take.
    bool unattendedBlock(const uint8_t* bytes, uint32_t byteCount, double peak);
    void appendToTake(const uint8_t* bytes, std::size_t byteCount);
    void post(std::function<void()> call);
    RecordingLosses lossesSince(const audio::XrunCounts& baseline) const;

    const QString m_takePath;
    const DeviceChoice m_choice;
    MonitorFifo& m_monitor;
    WindowThreadPoster m_poster;  // the handlers' thread; declared first, destroyed last
    Handlers m_handlers;
    TakeFile m_take;
    std::unique_ptr<audio::WaveIn> m_waveIn;
    std::vector<audio::WaveBuffer> m_headers;
    std::vector<std::vector<uint8_t>> m_blocks;
    uint32_t m_bufferSize = 0;
    // Window thread: the layer's counts when the recording started, and the losses of a
    // recording cut short by stop().
    std::unique_ptr<audio::XrunCounts> m_recordingBaseline;
    RecordingLosses m_losses;
    LevelPeaks m_levels;
    bool m_deviceUnavailable = false;  // the last start failed; window thread
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_recordEnabled{true};
    std::atomic<double> m_recordGain{1.0};
    std::atomic<double> m_elapsedSeconds{0.0};
    // The running take's input at full scale and its loudest value: capture worker writes,
    // reset by startRecording before the take starts.
    std::atomic<uint64_t> m_clippedLeft{0};
    std::atomic<uint64_t> m_clippedRight{0};
    std::atomic<double> m_loudest{0.0};
    // The unattended rules' state and the pre-roll: the capture worker's, reset by
    // startRecording under the mutex (never held on the real-time thread).
    std::mutex m_unattendedMutex;
    UnattendedSide m_unattended;
    PreRoll m_preRoll;
    std::atomic<bool> m_waiting{false};
};

// " Recording : " + the time text of the whole seconds + " Elapsed".
QString recordingStatusText(double elapsedSeconds);

// The user's account of a recording's losses: how much audio is missing and why.
QString recordingLossText(const RecordingLosses& losses);

}
