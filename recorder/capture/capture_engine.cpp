#include "capture_engine.h"

#include "capture_scaling.h"
#include "column_map.h"
#include "monitor_fifo.h"

#include "shell/shell_state.h"
#include "shell/toolkit_binding.h"

#include "wave_device.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace wavelark {

namespace {

constexpr int kSampleRate = 44100;
constexpr std::size_t kMaximumBuffers = 16;

}

QString wholeSecondsText(double seconds)
{
    const int64_t duration = static_cast<int64_t>(seconds) * 10000000;
    return QString::fromUtf8(g_toolkit.nanosec2time(duration));
}

QString recordingStatusText(double elapsedSeconds)
{
    return QStringLiteral(" Recording : ") + wholeSecondsText(elapsedSeconds) + QStringLiteral(" Elapsed");
}

CaptureEngine::CaptureEngine(ShellState& state, Handlers handlers, uint64_t largestTake)
    : m_state(state)
    , m_handlers(std::move(handlers))
    , m_take(largestTake)
{
    m_recordEnabled = state.settings.recordEnabled != 0;
}

CaptureEngine::~CaptureEngine()
{
    stop();
}

CaptureEngine::StartResult CaptureEngine::start()
{
    if (m_waveIn)
        return StartResult::Started;
    if (audio::inputDeviceCount() == 0)
        return StartResult::NoInputDevice;
    m_stopping = false;
    m_bufferSize = m_state.settings.bufferSize & ~uint32_t{3};
    const std::size_t count = std::min<std::size_t>(m_state.settings.bufferCount, kMaximumBuffers);
    std::string error;
    auto waveIn = audio::openWaveIn(m_state.settings.recordDevice, kSampleRate,
                                    [this](audio::WaveBuffer& buffer) { onBuffer(buffer); }, &error);
    if (!waveIn || m_bufferSize == 0 || count == 0)
        return StartResult::NotOpened;
    m_blocks.assign(count, std::vector<uint8_t>(m_bufferSize));
    m_headers.assign(count, audio::WaveBuffer{});
    for (std::size_t index = 0; index < count; ++index) {
        m_headers[index] = audio::WaveBuffer{m_blocks[index].data(), m_bufferSize, 0, nullptr};
        waveIn->addBuffer(&m_headers[index]);
    }
    m_waveIn = std::move(waveIn);
    if (!m_waveIn->start()) {
        m_waveIn->close();
        m_waveIn.reset();
        return StartResult::NotOpened;
    }
    return StartResult::Started;
}

void CaptureEngine::stop()
{
    if (m_waveIn) {
        m_stopping = true;
        m_waveIn->close();
        m_waveIn.reset();
    }
    // Closing during a recording keeps the take; stopRecording still finishes it as a take.
    m_recording = false;
    m_take.close();
}

bool CaptureEngine::startRecording(QString* error)
{
    std::string reason;
    if (!m_take.create(QFile::encodeName(m_state.takePath).toStdString(), &reason)) {
        if (error)
            *error = QStringLiteral("The Recording File could not be created:\n\n%1\n\n%2")
                         .arg(m_state.takePath, QString::fromLocal8Bit(reason.c_str()));
        return false;
    }
    m_elapsedSeconds = 0.0;
    m_recording = true;
    return true;
}

bool CaptureEngine::stopRecording()
{
    m_recording = false;
    return m_take.finish();
}

void CaptureEngine::onBuffer(audio::WaveBuffer& buffer)
{
    // Stopping: the buffer comes back once and is not queued again.
    if (m_stopping)
        return;
    processBuffer(buffer.data, buffer.bytesRecorded);
    m_waveIn->addBuffer(&buffer);
}

void CaptureEngine::processBuffer(uint8_t* bytes, uint32_t byteCount)
{
    if (!bytes)
        return;
    if (!m_recordEnabled)
        std::memset(bytes, 0, byteCount);
    const ChannelPeaks peaks = scaleCapturedFrames(bytes, byteCount, m_state.recordGain.load());
    if (peaks.left > m_state.leftPeak.load())
        m_state.leftPeak = peaks.left;
    if (peaks.right > m_state.rightPeak.load())
        m_state.rightPeak = peaks.right;
    if (m_state.monitorThru.load())
        appendToMonitorFifo(m_state, bytes, byteCount, m_bufferSize ? m_bufferSize : byteCount);
    if (!m_recording)
        return;
    std::string reason;
    switch (m_take.append(bytes, byteCount, &reason)) {
    case AppendResult::NotRecording:
        break;
    case AppendResult::Written: {
        const double elapsed = m_elapsedSeconds.load();
        post([this, elapsed] {
            if (m_handlers.recordingStatus)
                m_handlers.recordingStatus(elapsed);
        });
        m_elapsedSeconds = elapsed + takeSeconds(byteCount);
        break;
    }
    case AppendResult::WriteFailed:
        m_recording = false;
        post([this, message = QStringLiteral("Recording stopped: the Recording File could not be written (%1).\n\n"
                                             "Everything recorded up to this point has been kept.")
                                  .arg(QString::fromLocal8Bit(reason.c_str()))] {
            if (m_handlers.recordingFault)
                m_handlers.recordingFault(message);
        });
        break;
    case AppendResult::TakeFull:
        m_recording = false;
        post([this] {
            if (m_handlers.recordingFault)
                m_handlers.recordingFault(QStringLiteral(
                    "Recording stopped: the Recording File has reached its largest size of 4 GB.\n\n"
                    "Everything recorded up to this point has been kept."));
        });
        break;
    }
}

void CaptureEngine::post(std::function<void()> call)
{
    // Queued, never blocking: the window thread may be waiting for this worker in stop().
    m_poster.post(std::move(call));
}

}
