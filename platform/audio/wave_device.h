// The wave-in and wave-out layer: sound input and output in whole caller-owned buffers.
//
// A wave-in records 16-bit stereo frames into the buffers its caller queues and hands each one
// back through the caller's callback once it is full; a wave-out plays the buffers its caller
// writes and hands each one back once it has been played. The device runs behind a lock-free
// ring on the audio thread; the caller's callbacks run on an ordinary worker thread that each
// wave-in and wave-out owns, one buffer at a time, in queue order.
//
// The backend is chosen by the environment variable WAVELARK_AUDIO when a device is counted or
// opened: unset, empty or "portaudio" is the sound system through PortAudio; "test..." is the
// test device (see test_settings.h for its options).
//
// Control calls (open, addBuffer/write, start, reset, drain, close) may come from any one thread
// at a time; addBuffer and write may also be called from inside the callback. reset and close
// must not be called from inside the callback, and as they wait for the worker, a callback must
// never wait for the thread that calls them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace wavelark::audio {

// Every stream is 16-bit signed little-endian, two interleaved channels, left first.
inline constexpr int kChannels = 2;
inline constexpr uint32_t kBytesPerFrame = 4;
// The device id that picks the system's default device; 0, 1, 2... are the devices in order.
inline constexpr int kDefaultDevice = -1;

// A buffer queued on a wave-in or a wave-out. The caller owns the memory; from the call that
// queues it until the callback that hands it back, only the layer touches it.
struct WaveBuffer {
    uint8_t* data = nullptr;
    uint32_t length = 0;        // capacity in bytes, a whole number of frames
    uint32_t bytesRecorded = 0; // wave-in: bytes recorded into it when it comes back
    void* user = nullptr;       // the caller's own value, untouched by the layer
};

// Runs on the worker thread, once for every buffer that comes back.
using BufferCallback = std::function<void(WaveBuffer& buffer)>;

// Stream faults since the device was opened. An episode is a run of consecutive device periods
// that lost frames; the frame counts say how much audio was dropped (overrun: input that found
// no room in the layer's ring and was thrown away) or replaced by silence (underrun: output that
// had no audio ready in the ring while the stream was playing). The device counts are the
// faults the sound system itself reported (its own buffer ran over or dry because the audio
// thread came late).
struct XrunCounts {
    uint64_t overruns = 0;
    uint64_t overrunFrames = 0;
    uint64_t underruns = 0;
    uint64_t underrunFrames = 0;
    uint64_t deviceOverruns = 0;
    uint64_t deviceUnderruns = 0;

    uint64_t total() const { return overruns + underruns + deviceOverruns + deviceUnderruns; }
};

class WaveIn {
public:
    virtual ~WaveIn() = default;

    // Queues an empty buffer for recording. False when the buffer is unusable (no data, or a
    // length that is zero or not a whole number of frames) or the wave-in is closed.
    virtual bool addBuffer(WaveBuffer* buffer) = 0;
    // Starts recording into the queued buffers; recording while no buffer is queued fills the
    // layer's ring for a few seconds and is then counted as overrun. False when the device
    // fails to start.
    virtual bool start() = 0;
    // Stops recording and hands every queued buffer back through the callback with what it
    // holds (bytesRecorded may be 0), in queue order; returns once all of them have come back.
    // Audio the device had already delivered goes into those buffers first. Buffers queued by
    // the callback during the reset stay queued. start() may follow.
    virtual void reset() = 0;
    // reset(), then releases the device and stops the worker. No callback runs afterwards.
    virtual void close() = 0;
    virtual XrunCounts xrunCounts() const = 0;
};

class WaveOut {
public:
    virtual ~WaveOut() = default;

    // Queues a buffer of length bytes for playing; playing starts with the first buffer. False
    // when the buffer is unusable (as for WaveIn::addBuffer), the wave-out is closed or its
    // device failed to start again after a reset.
    virtual bool write(WaveBuffer* buffer) = 0;
    // Queues several buffers at once, in order: none of them comes back before all are queued.
    // False, with nothing queued, when any of them is unusable.
    virtual bool write(std::span<WaveBuffer> buffers) = 0;
    // Tells the layer that the caller writes nothing more until reset: running out of audio
    // from now on is the end of the stream, not an underrun.
    virtual void drain() = 0;
    // Stops playing at once and hands every queued buffer back through the callback, played or
    // not, in queue order; returns once all of them have come back. write() may follow.
    virtual void reset() = 0;
    // reset(), then releases the device and stops the worker. No callback runs afterwards.
    virtual void close() = 0;
    virtual XrunCounts xrunCounts() const = 0;
};

// The number of input and of output devices of the chosen backend.
int inputDeviceCount();
int outputDeviceCount();

// The devices of one direction as the sound system names them, in the order of their ids (the
// name of device 0 first), and which of them the default device (kDefaultDevice) is now.
struct DeviceList {
    std::vector<std::string> names;
    int defaultDevice = kDefaultDevice; // the id of the default device; kDefaultDevice when it is
                                        // none of the listed ones or there are none
};

// The chosen backend's input and output devices; empty when there is no backend. Names may
// repeat (two identical USB interfaces): callers that find a device by name take the first.
DeviceList inputDevices();
DeviceList outputDevices();

// Both lists from one look at the sound system (starting it once, not twice).
struct SoundDevices {
    DeviceList inputs;
    DeviceList outputs;
};
SoundDevices soundDevices();

// Open a device for sampleRate frames a second (44100 for everything the recorder does). On
// failure they return null and, when error is given, say why in it.
std::unique_ptr<WaveIn> openWaveIn(int deviceId, int sampleRate, BufferCallback callback,
                                   std::string* error = nullptr);
std::unique_ptr<WaveOut> openWaveOut(int deviceId, int sampleRate, BufferCallback callback,
                                     std::string* error = nullptr);

}
