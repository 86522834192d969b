#include "audio/capture_engine.h"

#include "audio/capture_scaling.h"
#include "audio/monitor_fifo.h"

#include "core/take_format.h"

#include "wave_device.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <utility>

namespace wavelark {

namespace {

constexpr std::size_t kMaximumBuffers = 16;

}

QString recordingStatusText(double elapsedSeconds)
{
    return QStringLiteral(" Recording : ") + wholeSecondsText(elapsedSeconds) + QStringLiteral(" Elapsed");
}

QString recordingLossText(const RecordingLosses& losses)
{
    QString text = QStringLiteral("The computer could not keep up with the recording");
    if (losses.droppedFrames != 0)
        text += QStringLiteral(": %1 seconds of audio are missing from the take")
                    .arg(static_cast<double>(losses.droppedFrames) / kTakeSampleRate, 0, 'f', 2);
    if (losses.deviceOverruns != 0)
        text += QStringLiteral("%1 the sound system reported %2 overrun(s)")
                    .arg(losses.droppedFrames != 0 ? QStringLiteral(", and") : QStringLiteral(":"))
                    .arg(losses.deviceOverruns);
    return text + QStringLiteral(".\n\nThe take has gaps where audio was lost; everything else has been kept.");
}

CaptureEngine::CaptureEngine(QString takePath, DeviceChoice choice, MonitorFifo& monitor, Handlers handlers,
                             uint64_t largestTake, uint64_t syncInterval)
    : m_takePath(std::move(takePath))
    , m_choice(choice)
    , m_monitor(monitor)
    , m_handlers(std::move(handlers))
    , m_take(largestTake, syncInterval)
{
}

CaptureEngine::~CaptureEngine()
{
    stop();
}

CaptureEngine::StartResult CaptureEngine::start(QString* error)
{
    if (m_waveIn)
        return StartResult::Started;
    if (audio::inputDeviceCount() == 0)
        return StartResult::NoInputDevice;
    m_stopping = false;
    m_bufferSize = m_choice.bufferSize & ~uint32_t{3};
    const std::size_t count = std::min<std::size_t>(m_choice.bufferCount, kMaximumBuffers);
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return StartResult::NotOpened;
    };
    m_deviceUnavailable = true;
    if (m_bufferSize == 0 || count == 0)
        return fail(QStringLiteral("no buffers were chosen"));
    std::string reason;
    auto waveIn = audio::openWaveIn(m_choice.device, kTakeSampleRate,
                                    [this](audio::WaveBuffer& buffer) { onBuffer(buffer); }, &reason);
    if (!waveIn)
        return fail(QString::fromStdString(reason));
    m_blocks.assign(count, std::vector<uint8_t>(m_bufferSize));
    {
        std::lock_guard lock(m_unattendedMutex);
        m_preRoll.reserve(static_cast<std::size_t>(kPreRollSeconds * kTakeSampleRate) * 4);
    }
    m_headers.assign(count, audio::WaveBuffer{});
    for (std::size_t index = 0; index < count; ++index) {
        m_headers[index] = audio::WaveBuffer{m_blocks[index].data(), m_bufferSize, 0, nullptr};
        waveIn->addBuffer(&m_headers[index]);
    }
    m_waveIn = std::move(waveIn);
    if (!m_waveIn->start()) {
        m_waveIn->close();
        m_waveIn.reset();
        return fail(QStringLiteral("the device did not start"));
    }
    m_deviceUnavailable = false;
    return StartResult::Started;
}

void CaptureEngine::stop()
{
    if (m_waveIn) {
        m_stopping = true;
        m_waveIn->close();
        // A recording cut short by the close still reports what it lost.
        if (m_recordingBaseline)
            m_losses = lossesSince(*m_recordingBaseline);
        m_recordingBaseline.reset();
        m_waveIn.reset();
    }
    // Closing during a recording keeps the take; stopRecording still finishes it as a take.
    m_recording = false;
    m_take.close();
}

bool CaptureEngine::startRecording(QString* error, const UnattendedRules& rules)
{
    if (m_deviceUnavailable) {
        if (error)
            *error = QStringLiteral("The record device is not available, so nothing can be recorded.\n\n"
                                    "Choose another one under Settings > Record Device and restart Wavelark.\n"
                                    "The current take has been kept.");
        return false;
    }
    std::string reason;
    if (!m_take.create(QFile::encodeName(m_takePath).toStdString(), &reason)) {
        if (error)
            *error = QStringLiteral("The Recording File could not be created:\n\n%1\n\n%2")
                         .arg(m_takePath, QString::fromLocal8Bit(reason.c_str()));
        return false;
    }
    // Recording may start before capture does: a device opened later counts from zero.
    m_recordingBaseline = std::make_unique<audio::XrunCounts>(m_waveIn ? m_waveIn->xrunCounts() : audio::XrunCounts{});
    m_losses = {};
    m_elapsedSeconds = 0.0;
    m_clippedLeft = 0;
    m_clippedRight = 0;
    m_loudest = 0.0;
    {
        std::lock_guard lock(m_unattendedMutex);
        m_unattended = UnattendedSide(rules);
        m_preRoll.clear();
        m_waiting = rules.startOnSound;
    }
    m_recording = true;
    return true;
}

RecordingHealth CaptureEngine::health() const
{
    RecordingHealth health{m_clippedLeft.load(), m_clippedRight.load(), m_loudest.load(), m_losses,
                           m_take.bytesWritten()};
    if (m_recordingBaseline && m_waveIn)
        health.losses = lossesSince(*m_recordingBaseline);
    return health;
}

CaptureEngine::TakeEnding CaptureEngine::stopRecording()
{
    m_recording = false;
    m_waiting = false;
    if (m_recordingBaseline && m_waveIn)
        m_losses = lossesSince(*m_recordingBaseline);
    m_recordingBaseline.reset();
    const RecordingHealth health = this->health();
    const FinishedTake finished = m_take.finish();
    TakeEnding ending{finished.started, QString(), std::exchange(m_losses, RecordingLosses{}), health};
    if (finished.fault == AppendResult::WriteFailed)
        ending.faultMessage = QStringLiteral("Recording stopped: the Recording File could not be written (%1).\n\n"
                                             "Everything recorded up to this point has been kept.")
                                  .arg(QString::fromLocal8Bit(finished.reason.c_str()));
    else if (finished.fault == AppendResult::TakeFull)
        ending.faultMessage = QStringLiteral("Recording stopped: the Recording File has reached its largest size of "
                                             "4 GB.\n\nEverything recorded up to this point has been kept.");
    return ending;
}

RecordingLosses CaptureEngine::lossesSince(const audio::XrunCounts& baseline) const
{
    const audio::XrunCounts now = m_waveIn->xrunCounts();
    return RecordingLosses{now.overrunFrames - baseline.overrunFrames, now.deviceOverruns - baseline.deviceOverruns};
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
    // A take waiting for sound counts nothing until it starts.
    const bool recording = m_recording.load() && !m_waiting.load();
    // The clip lamps light while recording or not: the level is set before the take.
    const FullScaleCounts clipped = countFullScale(bytes, byteCount);
    m_levels.countClipping(clipped.left != 0, clipped.right != 0);
    if (recording) {
        m_clippedLeft.fetch_add(clipped.left, std::memory_order_relaxed);
        m_clippedRight.fetch_add(clipped.right, std::memory_order_relaxed);
    }
    const ChannelPeaks peaks = scaleCapturedFrames(bytes, byteCount, m_recordGain.load());
    m_levels.raise(peaks.left, peaks.right);
    if (recording && std::max(peaks.left, peaks.right) > m_loudest.load(std::memory_order_relaxed))
        m_loudest.store(std::max(peaks.left, peaks.right), std::memory_order_relaxed);
    if (m_monitor.thru())
        m_monitor.append(bytes, byteCount, m_bufferSize ? m_bufferSize : byteCount);
    if (!m_recording || !unattendedBlock(bytes, byteCount, std::max(peaks.left, peaks.right)))
        return;
    appendToTake(bytes, byteCount);
}

bool CaptureEngine::unattendedBlock(const uint8_t* bytes, uint32_t byteCount, double peak)
{
    std::lock_guard lock(m_unattendedMutex);
    const UnattendedAction action = m_unattended.feed(peak, takeSeconds(byteCount));
    if (m_waiting) {
        if (action != UnattendedAction::StartTake) {
            m_preRoll.push(bytes, byteCount);
            return false;
        }
        // The sound came: the seconds before it go first, oldest first, then this block.
        m_waiting = false;
        m_unattended.addRecordedSeconds(takeSeconds(m_preRoll.size()));
        for (const std::span<const uint8_t> part : m_preRoll.parts()) {
            if (!part.empty())
                appendToTake(part.data(), part.size());
        }
        m_preRoll.clear();
        post([this] {
            if (m_handlers.takeStarted)
                m_handlers.takeStarted();
        });
        return true;
    }
    if (action == UnattendedAction::StopTake) {
        post([this] {
            if (m_handlers.unattendedStop)
                m_handlers.unattendedStop();
        });
    }
    return true;
}

void CaptureEngine::appendToTake(const uint8_t* bytes, std::size_t byteCount)
{
    switch (m_take.append(bytes, byteCount, nullptr)) {
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
    case AppendResult::TakeFull:
        // The take file keeps the reason; the window learns it when it finishes the take.
        m_recording = false;
        post([this] {
            if (m_handlers.recordingStopped)
                m_handlers.recordingStopped();
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
