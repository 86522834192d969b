#include "monitor_fifo.h"

#include "shell/shell_state.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace wavelark {

namespace {

std::mutex fifoMutex;

}

void appendToMonitorFifo(ShellState& state, const uint8_t* bytes, std::size_t byteCount, std::size_t bufferSize)
{
    std::lock_guard lock(fifoMutex);
    const std::size_t fifoSize = state.monitorFifo.size();
    if (bufferSize == 0 || bufferSize > fifoSize)
        return;
    std::size_t position = state.monitorWritePosition.load();
    // The timer or the player may have moved the position; never write past the end.
    if (position > fifoSize - bufferSize)
        position = 0;
    std::memset(state.monitorFifo.data() + position, 0, bufferSize);
    std::memcpy(state.monitorFifo.data() + position, bytes, std::min(byteCount, bufferSize));
    position += bufferSize;
    if (position > fifoSize - bufferSize)
        position = 0;
    state.monitorWritePosition = static_cast<uint32_t>(position);
}

void takeFromMonitorFifo(ShellState& state, uint8_t* into, std::size_t byteCount)
{
    std::lock_guard lock(fifoMutex);
    const std::size_t fifoSize = state.monitorFifo.size();
    if (byteCount > fifoSize) {
        std::memset(into, 0, byteCount);
        return;
    }
    uint8_t* fifo = state.monitorFifo.data();
    std::memcpy(into, fifo, byteCount);
    std::memmove(fifo, fifo + byteCount, fifoSize - byteCount);
    std::memset(fifo + fifoSize - byteCount, 0, byteCount);
    const uint32_t position = state.monitorWritePosition.load();
    state.monitorWritePosition = position > byteCount ? position - static_cast<uint32_t>(byteCount) : 0;
}

}
