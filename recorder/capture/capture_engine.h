// The recording engine: the wave input runs from the main window's initialisation to its
// destruction, recording or not. Every captured buffer is scaled by the record gain, measured
// for the level meters, copied to the monitor FIFO while "Monitor - Thru" is on and appended to
// the raw take file while recording.
//
// Threads: start, stop and the recording switch run on the window thread; the capture callback
// runs on the wave input's worker thread (never the real-time thread). The callback reaches the
// window only by queued invocations on the context object, never by a blocking call, so the
// window may wait for the worker at any time.
#pragma once

#include "window_thread_poster.h"

#include "take_file.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wavelark {

namespace audio {
class WaveIn;
struct WaveBuffer;
}

struct ShellState;

inline constexpr char kNoInputCaption[] = "ERROR";
inline constexpr char kNoInputText[] = "There appears to be no 'Wave Input' devices attached to your computer!";

class CaptureEngine {
public:
    enum class StartResult {
        Started,
        NoInputDevice,  // the system has no input device: show kNoInputText and end the program
        NotOpened,      // the device could not be opened: run on silently with meters at rest
    };

    // Window-thread handlers, called through queued invocations on an object of the engine that
    // lives on the thread which created it; none runs after the engine is gone.
    struct Handlers {
        // A buffer was appended to the take; elapsedSeconds is the take's time before it.
        std::function<void(double elapsedSeconds)> recordingStatus;
        // The recording stopped by itself (disk full, largest take reached); the take written so
        // far is kept and still needs finishing (stopRecording). message is for the user.
        std::function<void(const QString& message)> recordingFault;
    };

    // state must outlive the engine. Create the engine on the window thread.
    CaptureEngine(ShellState& state, Handlers handlers, uint64_t largestTake = kLargestTake);
    ~CaptureEngine();

    // Opens the record device of the Settings record with its buffer size and count and starts it.
    StartResult start();
    // Sets the stopping flag, resets the device (every queued buffer comes back once, unused)
    // and closes it. A recording still running is stopped and its file closed; the take stays on
    // disk and stopRecording then returns true, so the caller finishes it as any take. Idempotent.
    void stop();
    bool running() const { return m_waveIn != nullptr; }

    // Creates the raw take file afresh and starts appending from the next buffer. False, with a
    // message for the user in error, when the file cannot be created; nothing then changes.
    bool startRecording(QString* error);
    // Closes the take. True when a take had been started (also when a fault closed it already).
    bool stopRecording();
    // The recording flag: a take is being appended.
    bool recording() const { return m_recording.load(); }
    double elapsedSeconds() const { return m_elapsedSeconds.load(); }

    // The record-enabled checkbox: off makes the captured input silent.
    void setRecordEnabled(bool enabled) { m_recordEnabled = enabled; }

    // The capture callback, public so that tests can hand it buffers directly. Capture worker.
    void processBuffer(uint8_t* bytes, uint32_t byteCount);

private:
    void onBuffer(audio::WaveBuffer& buffer);
    void post(std::function<void()> call);

    ShellState& m_state;
    WindowThreadPoster m_poster;  // the handlers' thread; declared first, destroyed last
    Handlers m_handlers;
    TakeFile m_take;
    std::unique_ptr<audio::WaveIn> m_waveIn;
    std::vector<audio::WaveBuffer> m_headers;
    std::vector<std::vector<uint8_t>> m_blocks;
    uint32_t m_bufferSize = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_recordEnabled{true};
    std::atomic<double> m_elapsedSeconds{0.0};
};

// " Recording : " + the time text of the whole seconds + " Elapsed".
QString recordingStatusText(double elapsedSeconds);
// The toolkit's time text of the whole seconds of a duration.
QString wholeSecondsText(double seconds);

}
