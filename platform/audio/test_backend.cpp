#include "test_backend.h"

#include "test_signal.h"
#include "wav_file_output.h"
#include "wave_device.h"

#include <semaphore.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

namespace wavelark::audio {

namespace {

// The test device moves audio in periods of 256 frames (5.8 ms at 44100 Hz).
constexpr size_t kPeriodFrames = 256;
constexpr size_t kPeriodBytes = kPeriodFrames * kBytesPerFrame;
constexpr long kNanosecondsPerSecond = 1'000'000'000;

void addNanoseconds(timespec& time, long nanoseconds)
{
    time.tv_nsec += nanoseconds;
    while (time.tv_nsec >= kNanosecondsPerSecond) {
        time.tv_nsec -= kNanosecondsPerSecond;
        ++time.tv_sec;
    }
}

long nanosecondsBetween(const timespec& from, const timespec& to)
{
    return (to.tv_sec - from.tv_sec) * kNanosecondsPerSecond + (to.tv_nsec - from.tv_nsec);
}

class TestDeviceStream final : public DeviceStream {
public:
    TestDeviceStream(TestPace pace, int sampleRate, CaptureSink* sink, std::unique_ptr<TestSignal> signal,
                     RenderSource* source, std::unique_ptr<WavFileOutput> output)
        : m_pace(pace)
        , m_periodNanoseconds(static_cast<long>(kPeriodFrames * kNanosecondsPerSecond / sampleRate))
        , m_sink(sink)
        , m_signal(std::move(signal))
        , m_source(source)
        , m_output(std::move(output))
        , m_period(kPeriodBytes)
    {
        sem_init(&m_wakeup, 0, 0);
    }

    ~TestDeviceStream() override
    {
        stop();
        sem_destroy(&m_wakeup);
    }

    bool start(std::string&) override
    {
        if (m_thread.joinable())
            return true;
        m_stopping.store(false, std::memory_order_relaxed);
        m_thread = std::thread([this] { run(); });
        return true;
    }

    void stop() override
    {
        if (!m_thread.joinable())
            return;
        m_stopping.store(true, std::memory_order_relaxed);
        sem_post(&m_wakeup);
        m_thread.join();
    }

    void ringMoved() noexcept override { sem_post(&m_wakeup); }

private:
    void run()
    {
        if (m_pace == TestPace::RealTime)
            runInRealTime();
        else
            runAsFastAsTaken();
        if (m_output)
            m_output->flush();
    }

    void runInRealTime()
    {
        timespec next;
        clock_gettime(CLOCK_MONOTONIC, &next);
        while (!m_stopping.load(std::memory_order_relaxed)) {
            addNanoseconds(next, m_periodNanoseconds);
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
            }
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            // A device clock does not catch up after the machine stalled: it starts afresh.
            if (nanosecondsBetween(next, now) > kNanosecondsPerSecond)
                next = now;
            movePeriod(kPeriodBytes);
        }
    }

    void runAsFastAsTaken()
    {
        while (!m_stopping.load(std::memory_order_relaxed)) {
            size_t count = 0;
            if (m_sink)
                count = m_sink->backlog() < kPeriodBytes ? kPeriodBytes : 0;
            else
                count = std::min(m_source->ready(), kPeriodBytes) / kBytesPerFrame * kBytesPerFrame;
            if (count > 0)
                movePeriod(count);
            else
                waitForRing();
        }
    }

    void movePeriod(size_t count)
    {
        if (m_sink) {
            m_signal->generate(m_period.data(), count / kBytesPerFrame);
            m_sink->capture(m_period.data(), count);
            return;
        }
        size_t streamBytes = m_source->render(m_period.data(), count);
        if (m_output)
            m_output->append(m_period.data(), streamBytes);
    }

    void waitForRing()
    {
        // The worker posts when it moves the ring; the timeout only bounds a missed post.
        timespec until;
        clock_gettime(CLOCK_REALTIME, &until);
        addNanoseconds(until, 20'000'000);
        sem_timedwait(&m_wakeup, &until);
    }

    const TestPace m_pace;
    const long m_periodNanoseconds;
    CaptureSink* m_sink;                  // set for an input device
    std::unique_ptr<TestSignal> m_signal; // set for an input device
    RenderSource* m_source;               // set for an output device
    std::unique_ptr<WavFileOutput> m_output;
    std::vector<uint8_t> m_period;
    sem_t m_wakeup;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

class TestBackend final : public AudioBackend {
public:
    explicit TestBackend(TestSettings settings)
        : m_settings(std::move(settings))
    {
    }

    int inputDeviceCount() override { return m_settings.inputDevices; }
    int outputDeviceCount() override { return m_settings.outputDevices; }
    DeviceList inputDevices() override { return listed(m_settings.inputNames, m_settings.inputDevices, "Test Input"); }
    DeviceList outputDevices() override
    {
        return listed(m_settings.outputNames, m_settings.outputDevices, "Test Output");
    }

    std::unique_ptr<DeviceStream> openInput(int deviceId, int sampleRate, CaptureSink& sink, std::string& error) override
    {
        if (!checkDevice(deviceId, sampleRate, m_settings.inputDevices, "input", error))
            return nullptr;
        std::unique_ptr<TestSignal> signal = TestSignal::create(m_settings, sampleRate, error);
        if (!signal)
            return nullptr;
        return std::make_unique<TestDeviceStream>(m_settings.pace, sampleRate, &sink, std::move(signal), nullptr, nullptr);
    }

    std::unique_ptr<DeviceStream> openOutput(int deviceId, int sampleRate, RenderSource& source, std::string& error) override
    {
        if (!checkDevice(deviceId, sampleRate, m_settings.outputDevices, "output", error))
            return nullptr;
        std::unique_ptr<WavFileOutput> output;
        if (!m_settings.outputFile.empty()) {
            output = std::make_unique<WavFileOutput>();
            if (!output->open(m_settings.outputFile, sampleRate, error))
                return nullptr;
        }
        return std::make_unique<TestDeviceStream>(m_settings.pace, sampleRate, nullptr, nullptr, &source, std::move(output));
    }

private:
    // The names given, or "Test Input 1", "Test Input 2"...; the first device is the default.
    static DeviceList listed(const std::vector<std::string>& names, int count, const char* stem)
    {
        DeviceList list;
        for (int index = 0; index < count; ++index)
            list.names.push_back(index < static_cast<int>(names.size()) ? names[index]
                                                                         : stem + (" " + std::to_string(index + 1)));
        list.defaultDevice = count > 0 ? 0 : kDefaultDevice;
        return list;
    }

    static bool checkDevice(int deviceId, int sampleRate, int count, const char* kind, std::string& error)
    {
        if (sampleRate <= 0) {
            error = "test device: sample rate " + std::to_string(sampleRate) + " is not positive";
            return false;
        }
        if (deviceId < kDefaultDevice || deviceId >= count || count == 0) {
            // Numbered from 1, as the device menus number them.
            error = deviceId == kDefaultDevice ? "test device: there is no " + std::string(kind) + " device"
                                               : "test device: there is no " + std::string(kind) + " device "
                                                     + std::to_string(deviceId + 1);
            return false;
        }
        return true;
    }

    TestSettings m_settings;
};

}

std::unique_ptr<AudioBackend> makeTestBackend(const TestSettings& settings)
{
    return std::make_unique<TestBackend>(settings);
}

}
