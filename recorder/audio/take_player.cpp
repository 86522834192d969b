#include "audio/take_player.h"

#include "audio/monitor_fifo.h"

#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace wavelark {

namespace {

// The toolkit's fill function carries no context: the open player is the process's one.
std::atomic<TakePlayer*> openPlayer{nullptr};

void fillThunk(void* buffer)
{
    if (TakePlayer* player = openPlayer.load())
        player->fill(static_cast<uint8_t*>(buffer));
}

}

void applyPlayGain(uint8_t* bytes, std::size_t byteCount, double gain)
{
    const std::size_t samples = byteCount / 2;
    for (std::size_t index = 0; index < samples; ++index) {
        int16_t sample;
        std::memcpy(&sample, bytes + index * 2, 2);
        sample = static_cast<int16_t>(sample * gain);
        std::memcpy(bytes + index * 2, &sample, 2);
    }
}

TakePlayer::TakePlayer(QString takePath, DeviceChoice choice, MonitorFifo& monitor, std::function<void()> ended)
    : m_takePath(std::move(takePath))
    , m_choice(choice)
    , m_monitor(monitor)
    , m_ended(std::move(ended))
{
    m_bufferSize = choice.bufferSize & ~uint32_t{3};
}

TakePlayer::~TakePlayer()
{
    close();
    stopPlaying();
}

bool TakePlayer::open()
{
    if (m_handle)
        return true;
    TakePlayer* expected = nullptr;
    if (!openPlayer.compare_exchange_strong(expected, this))
        return false;
    m_bufferSize = m_choice.bufferSize & ~uint32_t{3};
    m_handle = g_toolkit.CreateWaveOut(kTakeSampleRate, static_cast<int>(m_bufferSize),
                                       static_cast<int>(m_choice.bufferCount), m_choice.device, &fillThunk, nullptr);
    if (!m_handle) {
        openPlayer = nullptr;
        return false;
    }
    return true;
}

void TakePlayer::close()
{
    if (!m_handle)
        return;
    g_toolkit.CreateWaveOut(0, 0, 0, 0, nullptr, m_handle);
    m_handle = nullptr;
    openPlayer = nullptr;
}

bool TakePlayer::startPlaying(uint32_t firstEdge, uint32_t secondEdge, bool tail)
{
    const uint32_t takeLength = g_toolkit.FileSize(QFile::encodeName(m_takePath).constData());
    const uint32_t smaller = std::min(firstEdge, secondEdge);
    const uint32_t larger = std::max(firstEdge, secondEdge);
    return beginPlay(columnToOffset(smaller, takeLength), columnToOffset(larger, takeLength), firstEdge == secondEdge,
                     smaller, firstEdge, tail);
}

bool TakePlayer::startPlayingBytes(uint32_t start, uint32_t end, double startColumn, double returnColumn, bool tail)
{
    return beginPlay(start, end, start == end, startColumn, returnColumn, tail);
}

bool TakePlayer::beginPlay(uint32_t start, uint32_t end, bool emptySelection, double startColumn,
                           double returnColumn, bool tail)
{
    const QByteArray path = QFile::encodeName(m_takePath);
    const uint32_t takeLength = g_toolkit.FileSize(path.constData());
    std::FILE* take = std::fopen(path.constData(), "rb");
    if (!take)
        return false;
    if (tail && end - start > kTailBytes)
        start = end - kTailBytes;
    start = wholeFrames(start);
    end = wholeFrames(end);
    if (std::fseek(take, static_cast<long>(start), SEEK_SET) != 0) {
        std::fclose(take);
        return false;
    }
    std::lock_guard lock(m_takeMutex);
    if (m_take)
        std::fclose(m_take);
    m_take = take;
    m_takeLength = takeLength;
    m_start = start;
    m_end = end;
    m_position = start;
    m_emptySelection = emptySelection;
    // The end of the play brings the cursor back to where the selection began.
    m_returnColumn = returnColumn;
    m_endPosted = false;
    m_playCursor = startColumn;
    ++m_generation;
    m_playing = true;
    return true;
}

void TakePlayer::stopPlaying()
{
    m_monitor.resetWritePosition();
    std::lock_guard lock(m_takeMutex);
    m_playing = false;
    if (m_take)
        std::fclose(m_take);
    m_take = nullptr;
}

void TakePlayer::fill(uint8_t* buffer)
{
    const uint32_t size = m_bufferSize;
    if (m_playing.load())
        fillFromTake(buffer);
    else if (m_monitor.thru())
        m_monitor.take(buffer, size);
    else
        std::memset(buffer, 0, size);
    applyPlayGain(buffer, size, m_playGain.load());
}

void TakePlayer::fillFromTake(uint8_t* buffer)
{
    const uint32_t size = m_bufferSize;
    std::lock_guard lock(m_takeMutex);
    if (!m_take || m_endPosted) {
        // Stopped meanwhile, or the end is on its way to the window: silence until it is handled.
        std::memset(buffer, 0, size);
        return;
    }
    uint32_t count = size;
    if (!m_emptySelection && m_position + static_cast<uint64_t>(size) > m_end)
        count = m_end > m_position ? m_end - m_position : 0;
    if (m_playEnabled.load()) {
        count = static_cast<uint32_t>(std::fread(buffer, 1, count, m_take));
    } else {
        // Silent, at the normal pace: the take is skipped, never past its end.
        count = std::min(count, m_takeLength > m_position ? m_takeLength - m_position : 0);
        std::memset(buffer, 0, count);
        std::fseek(m_take, static_cast<long>(count), SEEK_CUR);
    }
    std::memset(buffer + count, 0, size - count);
    m_position += count;
    if (m_takeLength > 0)
        m_playCursor = kColumnSpan * std::min(m_position, m_takeLength) / m_takeLength;
    if (count == 0) {
        m_playCursor = m_returnColumn;
        m_endPosted = true;
        m_poster.post([this, generation = m_generation.load()] {
            if (m_playing.load() && generation == m_generation.load() && m_ended)
                m_ended();
        });
    }
}

}
