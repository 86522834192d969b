// The wave-out: the worker copies the caller's buffers into the ring in order and hands each one
// back once the device's audio thread has taken its last byte; the audio thread plays from the
// ring and plays silence, counted as underrun, when the ring runs dry in mid-stream.

#include "device_stream.h"
#include "layer_limits.h"
#include "spsc_ring.h"
#include "stream_worker.h"
#include "wave_device.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>

namespace wavelark::audio {

namespace {

class WaveOutStream final : public WaveOut, private RenderSource {
public:
    explicit WaveOutStream(BufferCallback callback)
        : m_ring(kRingBytes)
        , m_callback(std::move(callback))
        , m_worker([this] { service(); })
    {
    }

    ~WaveOutStream() override { close(); }

    bool open(AudioBackend& backend, int deviceId, int sampleRate, std::string& error)
    {
        m_device = backend.openOutput(deviceId, sampleRate, *this, error);
        if (m_device && !m_device->start(error))
            m_device.reset();
        return m_device != nullptr;
    }

    bool write(WaveBuffer* buffer) override { return buffer && write(std::span<WaveBuffer>(buffer, 1)); }

    bool write(std::span<WaveBuffer> buffers) override
    {
        for (WaveBuffer& buffer : buffers) {
            if (!usableBuffer(&buffer))
                return false;
        }
        std::lock_guard lock(m_queueMutex);
        if (m_closed || m_deviceFailed)
            return false;
        for (WaveBuffer& buffer : buffers)
            m_queue.push_back(QueuedBuffer{&buffer, 0, 0});
        m_worker.wake();
        return true;
    }

    void drain() override { m_draining.store(true, std::memory_order_release); }

    void reset() override
    {
        if (m_closed || !m_device)
            return;
        stopAndReturnAll();
        std::string error;
        if (!m_device->start(error)) {
            // Nothing written now could ever come back, so writing is refused from here on.
            std::lock_guard lock(m_queueMutex);
            m_deviceFailed = true;
        }
    }

    void close() override
    {
        if (m_closed || !m_device) {
            m_worker.stop();
            return;
        }
        // A drained stream that has played all its buffers ends with its last sound heard.
        if (m_draining.load(std::memory_order_acquire) && m_ring.readable() == 0) {
            bool allPlayed = false;
            {
                std::lock_guard lock(m_queueMutex);
                allPlayed = m_queue.empty();
            }
            if (allPlayed)
                m_device->finish();
        }
        stopAndReturnAll();
        {
            std::lock_guard lock(m_queueMutex);
            m_closed = true;
        }
        m_worker.stop();
        m_device.reset();
    }

    XrunCounts xrunCounts() const override
    {
        XrunCounts counts;
        counts.underruns = m_underruns.load(std::memory_order_relaxed);
        counts.underrunFrames = m_underrunFrames.load(std::memory_order_relaxed);
        counts.deviceUnderruns = m_deviceUnderruns.load(std::memory_order_relaxed);
        return counts;
    }

private:
    struct QueuedBuffer {
        WaveBuffer* buffer;
        uint32_t copied;      // bytes of it already in the ring
        uint64_t endPosition; // ring position just after its last byte, once all of it is in
    };

    size_t render(uint8_t* bytes, size_t count) noexcept override
    {
        size_t taken = m_ring.read(bytes, count);
        size_t streamBytes = taken;
        if (taken < count) {
            std::memset(bytes + taken, 0, count - taken);
            if (m_playing && !m_draining.load(std::memory_order_acquire)) {
                if (!m_starved)
                    m_underruns.fetch_add(1, std::memory_order_relaxed);
                m_starved = true;
                m_underrunFrames.fetch_add((count - taken) / kBytesPerFrame, std::memory_order_relaxed);
                streamBytes = count;
            }
        } else {
            m_starved = false;
        }
        if (taken > 0)
            m_playing = true;
        m_worker.wake();
        return streamBytes;
    }

    size_t ready() const noexcept override { return m_ring.readable(); }

    void deviceUnderrun() noexcept override { m_deviceUnderruns.fetch_add(1, std::memory_order_relaxed); }

    void stopAndReturnAll()
    {
        m_device->stop();
        m_worker.runAndWait([this] {
            // With the audio thread stopped the worker may empty the ring from the reading side.
            m_ring.discard(m_ring.readable());
            std::deque<QueuedBuffer> returning;
            {
                std::lock_guard lock(m_queueMutex);
                returning.swap(m_queue);
            }
            for (QueuedBuffer& queued : returning)
                m_callback(*queued.buffer);
        });
        // The audio thread is stopped, so the flags it keeps to itself can be cleared here.
        m_playing = false;
        m_starved = false;
        m_draining.store(false, std::memory_order_release);
    }

    // Worker thread: tops the ring up from the queue, then hands back, in order, every buffer
    // whose last byte the audio thread has taken. The queue lock is never held while the
    // callback runs, so it may write buffers.
    void service()
    {
        std::unique_lock lock(m_queueMutex);
        bool moved = false;
        for (QueuedBuffer& queued : m_queue) {
            uint32_t length = queued.buffer->length;
            if (queued.copied == length)
                continue;
            size_t written = m_ring.write(queued.buffer->data + queued.copied, length - queued.copied);
            queued.copied += static_cast<uint32_t>(written);
            moved = moved || written > 0;
            if (queued.copied < length)
                break;
            queued.endPosition = m_ring.writePosition();
        }
        while (!m_queue.empty()) {
            const QueuedBuffer& front = m_queue.front();
            if (front.copied < front.buffer->length || front.endPosition > m_ring.readPosition())
                break;
            WaveBuffer* buffer = front.buffer;
            m_queue.pop_front();
            lock.unlock();
            m_callback(*buffer);
            lock.lock();
        }
        lock.unlock();
        if (moved)
            m_device->ringMoved();
    }

    SpscRing m_ring;
    BufferCallback m_callback;
    std::unique_ptr<DeviceStream> m_device;
    std::mutex m_queueMutex;
    std::deque<QueuedBuffer> m_queue; // guarded by m_queueMutex
    bool m_closed = false;            // written under m_queueMutex by the control thread
    bool m_deviceFailed = false;      // likewise: the device did not start again after a reset
    std::atomic<bool> m_draining{false};
    bool m_playing = false; // audio thread only, while it runs: audio has been played
    bool m_starved = false; // audio thread only, while it runs: the last period ran dry
    std::atomic<uint64_t> m_underruns{0};
    std::atomic<uint64_t> m_underrunFrames{0};
    std::atomic<uint64_t> m_deviceUnderruns{0};
    // Last, so it is destroyed (and its thread ended) before anything its service pass uses.
    StreamWorker m_worker;
};

}

std::unique_ptr<WaveOut> openWaveOut(int deviceId, int sampleRate, BufferCallback callback, std::string* error)
{
    return openOnChosenBackend<WaveOutStream, WaveOut>(deviceId, sampleRate, std::move(callback), error);
}

int outputDeviceCount()
{
    std::string ignoredReason;
    std::unique_ptr<AudioBackend> backend = chooseBackend(ignoredReason);
    return backend ? backend->outputDeviceCount() : 0;
}

DeviceList outputDevices()
{
    std::string ignoredReason;
    std::unique_ptr<AudioBackend> backend = chooseBackend(ignoredReason);
    return backend ? backend->outputDevices() : DeviceList{};
}

}
