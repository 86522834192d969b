#include "portaudio_backend.h"

#include "sound_library_messages.h"
#include "wave_device.h"

#include <pa_linux_alsa.h>
#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace wavelark::audio {

namespace {

// The device buffer asked for at least.
constexpr double kDeviceLatencySeconds = 0.1;

// Pa_Initialize and Pa_Terminate are not thread-safe; every use of them goes through here.
std::mutex& sessionMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Holds PortAudio initialised for its lifetime.
class PortAudioSession {
public:
    PortAudioSession()
    {
        std::lock_guard lock(sessionMutex());
        // Starting, PortAudio has ALSA and JACK try every card, plug-in and server they know of,
        // and they complain about each one that is not there. That is noise while PortAudio
        // starts; when it cannot, the complaints may say why.
        HeldSoundLibraryMessages messages;
        m_result = Pa_Initialize();
        if (m_result != paNoError)
            messages.writeToStandardError();
    }
    ~PortAudioSession()
    {
        std::lock_guard lock(sessionMutex());
        if (m_result != paNoError)
            return;
        HeldSoundLibraryMessages messages;
        if (Pa_Terminate() != paNoError)
            messages.writeToStandardError();
    }
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;

    bool ready(std::string& error) const
    {
        if (m_result != paNoError)
            error = std::string("PortAudio cannot start: ") + Pa_GetErrorText(m_result);
        return m_result == paNoError;
    }

private:
    PaError m_result;
};

enum class Direction { Input, Output };

// WAVELARK_AUDIO_LATENCY_MS overrides the device buffer for measurements.
double deviceLatencySeconds()
{
    const char* text = std::getenv("WAVELARK_AUDIO_LATENCY_MS");
    double milliseconds = text ? std::atof(text) : 0.0;
    return milliseconds > 0 ? milliseconds / 1000.0 : kDeviceLatencySeconds;
}

int channelsOf(const PaDeviceInfo* info, Direction direction)
{
    return direction == Direction::Input ? info->maxInputChannels : info->maxOutputChannels;
}

// The PortAudio index of the device with the given id, or paNoDevice.
PaDeviceIndex findDevice(int deviceId, Direction direction)
{
    PaHostApiIndex hostApi = Pa_GetDefaultHostApi();
    const PaHostApiInfo* hostInfo = hostApi >= 0 ? Pa_GetHostApiInfo(hostApi) : nullptr;
    if (!hostInfo)
        return paNoDevice;
    if (deviceId == kDefaultDevice)
        return direction == Direction::Input ? hostInfo->defaultInputDevice : hostInfo->defaultOutputDevice;
    int seen = 0;
    for (int index = 0; index < hostInfo->deviceCount; ++index) {
        PaDeviceIndex device = Pa_HostApiDeviceIndexToDeviceIndex(hostApi, index);
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (info && channelsOf(info, direction) > 0 && seen++ == deviceId)
            return device;
    }
    return paNoDevice;
}

int countDevices(Direction direction)
{
    PortAudioSession session;
    std::string error;
    if (!session.ready(error))
        return 0;
    int count = 0;
    while (findDevice(count, direction) != paNoDevice)
        ++count;
    return count;
}

// Devices are numbered from 1 for the user, as the device menus number them.
std::string noDeviceText(int deviceId, const char* kind)
{
    if (deviceId == kDefaultDevice)
        return std::string("there is no ") + kind + " device";
    return std::string("there is no ") + kind + " device " + std::to_string(deviceId + 1);
}

DeviceList listDevices(const PortAudioSession& session, Direction direction)
{
    std::string error;
    DeviceList list;
    if (!session.ready(error))
        return list;
    const PaHostApiIndex hostApi = Pa_GetDefaultHostApi();
    const PaHostApiInfo* hostInfo = hostApi >= 0 ? Pa_GetHostApiInfo(hostApi) : nullptr;
    if (!hostInfo)
        return list;
    const PaDeviceIndex defaultDevice = direction == Direction::Input ? hostInfo->defaultInputDevice
                                                                      : hostInfo->defaultOutputDevice;
    // The same walk as findDevice, so that a name's position is the id that opens it.
    for (int index = 0; index < hostInfo->deviceCount; ++index) {
        const PaDeviceIndex device = Pa_HostApiDeviceIndexToDeviceIndex(hostApi, index);
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (!info || channelsOf(info, direction) <= 0)
            continue;
        if (device == defaultDevice)
            list.defaultDevice = static_cast<int>(list.names.size());
        list.names.emplace_back(info->name ? info->name : "");
    }
    return list;
}

int inputCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags flags, void* userData) noexcept
{
    auto* sink = static_cast<CaptureSink*>(userData);
    if (flags & paInputOverflow)
        sink->deviceOverrun();
    if (input)
        sink->capture(static_cast<const uint8_t*>(input), frames * kBytesPerFrame);
    return paContinue;
}

int outputCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags flags, void* userData) noexcept
{
    auto* source = static_cast<RenderSource*>(userData);
    if (flags & paOutputUnderflow)
        source->deviceUnderrun();
    source->render(static_cast<uint8_t*>(output), frames * kBytesPerFrame);
    return paContinue;
}

class PortAudioStream final : public DeviceStream {
public:
    ~PortAudioStream() override
    {
        if (m_stream) {
            stop();
            Pa_CloseStream(m_stream);
        }
    }

    bool open(int deviceId, int sampleRate, Direction direction, void* endpoint, std::string& error)
    {
        if (!m_session.ready(error))
            return false;
        PaDeviceIndex device = findDevice(deviceId, direction);
        const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
        const char* kind = direction == Direction::Input ? "input" : "output";
        if (!info) {
            error = noDeviceText(deviceId, kind);
            return false;
        }
        PaStreamParameters parameters{};
        parameters.device = device;
        parameters.channelCount = kChannels;
        parameters.sampleFormat = paInt16;
        // The device's own buffer must ride out the moments when busy cores make the audio
        // thread, or the sound server's client thread behind ALSA's pulse plugin, late; the
        // caller's ring of buffers sets the latency the user hears on top of it.
        double defaultLatency = direction == Direction::Input ? info->defaultHighInputLatency
                                                              : info->defaultHighOutputLatency;
        parameters.suggestedLatency = std::max(defaultLatency, deviceLatencySeconds());
        const PaStreamParameters* input = direction == Direction::Input ? &parameters : nullptr;
        const PaStreamParameters* output = direction == Direction::Output ? &parameters : nullptr;
        PaStreamCallback* callback = direction == Direction::Input ? inputCallback : outputCallback;
        // Opening goes through the same libraries: their messages matter only when it fails.
        HeldSoundLibraryMessages messages;
        PaError result = Pa_OpenStream(&m_stream, input, output, sampleRate, paFramesPerBufferUnspecified,
                                       paNoFlag, callback, endpoint);
        if (result != paNoError) {
            messages.writeToStandardError();
            m_stream = nullptr;
            error = std::string("cannot open ") + kind + " device " + info->name + ": " + Pa_GetErrorText(result);
            return false;
        }
        // The audio thread asks for real-time priority (granted where the user may have it), so
        // that busy cores do not make it late and the sound system's buffer run over or dry.
        const PaHostApiInfo* hostInfo = Pa_GetHostApiInfo(info->hostApi);
        if (hostInfo && hostInfo->type == paALSA)
            PaAlsa_EnableRealtimeScheduling(m_stream, 1);
        return true;
    }

    bool start(std::string& error) override
    {
        PaError result = Pa_StartStream(m_stream);
        if (result != paNoError)
            error = std::string("cannot start the stream: ") + Pa_GetErrorText(result);
        return result == paNoError;
    }

    void stop() override
    {
        if (Pa_IsStreamStopped(m_stream) == 0)
            Pa_StopStream(m_stream);
    }

    void finish() override
    {
        // Stopping drops what the sound system still holds (through ALSA's pulse plugin at
        // least), so wait until it has played out.
        const PaStreamInfo* info = Pa_GetStreamInfo(m_stream);
        if (info && Pa_IsStreamActive(m_stream) == 1)
            std::this_thread::sleep_for(std::chrono::duration<double>(info->outputLatency + 0.02));
        stop();
    }

private:
    PortAudioSession m_session;
    PaStream* m_stream = nullptr;
};

class PortAudioBackend final : public AudioBackend {
public:
    int inputDeviceCount() override { return countDevices(Direction::Input); }
    int outputDeviceCount() override { return countDevices(Direction::Output); }
    DeviceList inputDevices() override { return listDevices(listingSession(), Direction::Input); }
    DeviceList outputDevices() override { return listDevices(listingSession(), Direction::Output); }

    std::unique_ptr<DeviceStream> openInput(int deviceId, int sampleRate, CaptureSink& sink, std::string& error) override
    {
        auto stream = std::make_unique<PortAudioStream>();
        if (!stream->open(deviceId, sampleRate, Direction::Input, &sink, error))
            return nullptr;
        return stream;
    }

    std::unique_ptr<DeviceStream> openOutput(int deviceId, int sampleRate, RenderSource& source, std::string& error) override
    {
        auto stream = std::make_unique<PortAudioStream>();
        if (!stream->open(deviceId, sampleRate, Direction::Output, &source, error))
            return nullptr;
        return stream;
    }

private:
    // Starting PortAudio looks at every card and server: both lists of one backend share a start.
    const PortAudioSession& listingSession()
    {
        if (!m_listingSession)
            m_listingSession = std::make_unique<PortAudioSession>();
        return *m_listingSession;
    }

    std::unique_ptr<PortAudioSession> m_listingSession;
};

}

std::unique_ptr<AudioBackend> makePortAudioBackend()
{
    return std::make_unique<PortAudioBackend>();
}

}
