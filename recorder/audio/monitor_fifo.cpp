#include "audio/monitor_fifo.h"

#include <algorithm>
#include <cstring>

namespace wavelark {

MonitorFifo::MonitorFifo()
    : m_bytes(kSize, 0)
{
}

void MonitorFifo::append(const uint8_t* bytes, std::size_t byteCount, std::size_t bufferSize)
{
    std::lock_guard lock(m_mutex);
    if (bufferSize == 0 || bufferSize > kSize)
        return;
    std::size_t position = m_writePosition.load();
    // The timer or the player may have moved the position; never write past the end.
    if (position > kSize - bufferSize)
        position = 0;
    std::memset(m_bytes.data() + position, 0, bufferSize);
    std::memcpy(m_bytes.data() + position, bytes, std::min(byteCount, bufferSize));
    position += bufferSize;
    if (position > kSize - bufferSize)
        position = 0;
    m_writePosition = static_cast<uint32_t>(position);
}

void MonitorFifo::take(uint8_t* into, std::size_t byteCount)
{
    std::lock_guard lock(m_mutex);
    if (byteCount > kSize) {
        std::memset(into, 0, byteCount);
        return;
    }
    uint8_t* fifo = m_bytes.data();
    std::memcpy(into, fifo, byteCount);
    std::memmove(fifo, fifo + byteCount, kSize - byteCount);
    std::memset(fifo + kSize - byteCount, 0, byteCount);
    const uint32_t position = m_writePosition.load();
    m_writePosition = position > byteCount ? position - static_cast<uint32_t>(byteCount) : 0;
}

}
