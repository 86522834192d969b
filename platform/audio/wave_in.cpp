// The wave-in: the device's audio thread pours recorded frames into the ring; the worker moves
// them into the caller's queued buffers in order and hands each full buffer back.

#include "device_stream.h"
#include "layer_limits.h"
#include "spsc_ring.h"
#include "stream_worker.h"
#include "wave_device.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace wavelark::audio {

namespace {

class WaveInStream final : public WaveIn, private CaptureSink {
public:
    explicit WaveInStream(BufferCallback callback)
        : m_ring(kRingBytes)
        , m_callback(std::move(callback))
        , m_worker([this] { service(); })
    {
    }

    ~WaveInStream() override { close(); }

    bool open(AudioBackend& backend, int deviceId, int sampleRate, std::string& error)
    {
        m_device = backend.openInput(deviceId, sampleRate, *this, error);
        return m_device != nullptr;
    }

    bool addBuffer(WaveBuffer* buffer) override
    {
        if (!usableBuffer(buffer))
            return false;
        std::lock_guard lock(m_queueMutex);
        if (m_closed)
            return false;
        buffer->bytesRecorded = 0;
        m_queue.push_back(buffer);
        m_worker.wake();
        return true;
    }

    bool start() override
    {
        if (m_closed)
            return false;
        if (m_running)
            return true;
        std::string error;
        m_running = m_device->start(error);
        return m_running;
    }

    void reset() override
    {
        if (m_closed)
            return;
        m_device->stop();
        m_running = false;
        // The audio thread is stopped, so the flag it keeps to itself can be cleared here.
        m_dropping = false;
        m_worker.runAndWait([this] {
            service();
            // Recorded audio for which the caller left no buffer is lost, and counted so.
            size_t unheld = m_ring.discard(m_ring.readable());
            if (unheld > 0) {
                m_overruns.fetch_add(1, std::memory_order_relaxed);
                m_overrunFrames.fetch_add(unheld / kBytesPerFrame, std::memory_order_relaxed);
            }
            std::deque<WaveBuffer*> returning;
            {
                std::lock_guard lock(m_queueMutex);
                returning.swap(m_queue);
            }
            for (WaveBuffer* buffer : returning)
                m_callback(*buffer);
        });
    }

    void close() override
    {
        if (m_closed || !m_device) {
            m_worker.stop();
            return;
        }
        reset();
        {
            std::lock_guard lock(m_queueMutex);
            m_closed = true;
        }
        // The worker goes first: its service pass may still tell the device about the ring.
        m_worker.stop();
        m_device.reset();
    }

    XrunCounts xrunCounts() const override
    {
        XrunCounts counts;
        counts.overruns = m_overruns.load(std::memory_order_relaxed);
        counts.overrunFrames = m_overrunFrames.load(std::memory_order_relaxed);
        counts.deviceOverruns = m_deviceOverruns.load(std::memory_order_relaxed);
        return counts;
    }

private:
    void capture(const uint8_t* bytes, size_t count) noexcept override
    {
        size_t written = m_ring.write(bytes, count);
        if (written < count) {
            if (!m_dropping)
                m_overruns.fetch_add(1, std::memory_order_relaxed);
            m_dropping = true;
            m_overrunFrames.fetch_add((count - written) / kBytesPerFrame, std::memory_order_relaxed);
        } else {
            m_dropping = false;
        }
        m_worker.wake();
    }

    size_t backlog() const noexcept override { return m_ring.readable(); }

    void deviceOverrun() noexcept override { m_deviceOverruns.fetch_add(1, std::memory_order_relaxed); }

    // Worker thread: fills the oldest queued buffer from the ring and hands back each one that
    // is full. The queue lock is never held while the callback runs, so it may queue buffers.
    void service()
    {
        for (;;) {
            WaveBuffer* buffer = nullptr;
            {
                std::lock_guard lock(m_queueMutex);
                if (m_queue.empty())
                    return;
                buffer = m_queue.front();
            }
            size_t taken = m_ring.read(buffer->data + buffer->bytesRecorded, buffer->length - buffer->bytesRecorded);
            buffer->bytesRecorded += static_cast<uint32_t>(taken);
            if (taken > 0 && m_device)
                m_device->ringMoved();
            if (buffer->bytesRecorded < buffer->length)
                return;
            {
                std::lock_guard lock(m_queueMutex);
                m_queue.pop_front();
            }
            m_callback(*buffer);
        }
    }

    SpscRing m_ring;
    BufferCallback m_callback;
    std::unique_ptr<DeviceStream> m_device;
    std::mutex m_queueMutex;
    std::deque<WaveBuffer*> m_queue; // guarded by m_queueMutex; the front is being filled
    bool m_closed = false;           // written under m_queueMutex by the control thread
    bool m_running = false;          // control thread only
    bool m_dropping = false;         // audio thread only, while it runs
    std::atomic<uint64_t> m_overruns{0};
    std::atomic<uint64_t> m_overrunFrames{0};
    std::atomic<uint64_t> m_deviceOverruns{0};
    // Last, so it is destroyed (and its thread ended) before anything its service pass uses.
    StreamWorker m_worker;
};

}

std::unique_ptr<WaveIn> openWaveIn(int deviceId, int sampleRate, BufferCallback callback, std::string* error)
{
    return openOnChosenBackend<WaveInStream, WaveIn>(deviceId, sampleRate, std::move(callback), error);
}

int inputDeviceCount()
{
    std::string ignoredReason;
    std::unique_ptr<AudioBackend> backend = chooseBackend(ignoredReason);
    return backend ? backend->inputDeviceCount() : 0;
}

DeviceList inputDevices()
{
    std::string ignoredReason;
    std::unique_ptr<AudioBackend> backend = chooseBackend(ignoredReason);
    return backend ? backend->inputDevices() : DeviceList{};
}

}
