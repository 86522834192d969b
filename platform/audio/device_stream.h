// What a backend provides to the wave-in and wave-out: a device stream that moves frames between
// the device and the layer's ring, and the devices it offers, counted and named.
#pragma once

#include "wave_device.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace wavelark::audio {

// Receives recorded bytes on the device's audio thread. Every call is real-time safe.
class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    // Takes count bytes (whole frames) just recorded.
    virtual void capture(const uint8_t* bytes, size_t count) noexcept = 0;
    // Recorded bytes the worker has not taken yet; a device paced by its consumer records
    // only while this is small.
    virtual size_t backlog() const noexcept = 0;
    // The device itself lost input (a driver-level overrun).
    virtual void deviceOverrun() noexcept = 0;
};

// Supplies bytes to play on the device's audio thread. Every call is real-time safe.
class RenderSource {
public:
    virtual ~RenderSource() = default;
    // Fills count bytes (whole frames), silence where no audio is ready. Returns the bytes that
    // belong to the stream: the audio plus any underrun gap, but not the silence before the
    // first buffer or after the end of a drained stream.
    virtual size_t render(uint8_t* bytes, size_t count) noexcept = 0;
    // Bytes ready to play; a device paced by its producer plays no more than this.
    virtual size_t ready() const noexcept = 0;
    // The device itself ran dry (a driver-level underrun).
    virtual void deviceUnderrun() noexcept = 0;
};

// An open device. start and stop come from the layer's control thread; after stop returns the
// device makes no further call into its sink or source until the next start.
class DeviceStream {
public:
    virtual ~DeviceStream() = default;
    virtual bool start(std::string& error) = 0;
    virtual void stop() = 0;
    // Like stop, but first lets the audio already taken from the ring reach the speaker.
    virtual void finish() { stop(); }
    // The layer's worker has moved bytes through the ring; a device paced by the other side
    // of the ring may go on. Called from the worker thread.
    virtual void ringMoved() noexcept {}
};

class AudioBackend {
public:
    virtual ~AudioBackend() = default;
    virtual int inputDeviceCount() = 0;
    virtual int outputDeviceCount() = 0;
    // The devices' names in id order and the default device's id (see wave_device.h).
    virtual DeviceList inputDevices() = 0;
    virtual DeviceList outputDevices() = 0;
    // Null on failure, with the reason in error. The device is opened stopped.
    virtual std::unique_ptr<DeviceStream> openInput(int deviceId, int sampleRate, CaptureSink& sink,
                                                    std::string& error) = 0;
    virtual std::unique_ptr<DeviceStream> openOutput(int deviceId, int sampleRate, RenderSource& source,
                                                     std::string& error) = 0;
};

// The backend the environment variable WAVELARK_AUDIO chooses, read afresh on every call; null
// with the reason in error when the variable names no backend.
std::unique_ptr<AudioBackend> chooseBackend(std::string& error);

// Opens a stream object (the wave-in or wave-out behind the public interface) on the chosen
// backend; null with the reason in error when there is no backend or the device did not open.
template <typename Stream, typename Interface, typename Callback>
std::unique_ptr<Interface> openOnChosenBackend(int deviceId, int sampleRate, Callback callback, std::string* error)
{
    std::string reason;
    std::unique_ptr<AudioBackend> backend = chooseBackend(reason);
    if (backend) {
        auto stream = std::make_unique<Stream>(std::move(callback));
        if (stream->open(*backend, deviceId, sampleRate, reason))
            return stream;
    }
    if (error)
        *error = reason;
    return nullptr;
}

}
