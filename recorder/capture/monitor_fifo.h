// The monitor FIFO's two sides: the capture worker appends each captured buffer at the write
// position, the player worker takes one output buffer from the front. Both workers are ordinary
// threads of the audio layer (never the real-time thread), so the FIFO's bytes are guarded by
// one small mutex; the write position itself is the state's atomic, which the window's timer
// also resets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wavelark {

struct ShellState;

// Zeroes bufferSize bytes at the write position, copies the captured bytes there, advances the
// position by bufferSize and starts over at 0 once the position passes (FIFO size − bufferSize).
// Capture worker.
void appendToMonitorFifo(ShellState& state, const uint8_t* bytes, std::size_t byteCount, std::size_t bufferSize);

// Copies the first byteCount bytes of the FIFO into into, moves the rest toward the front, zeroes
// the freed end and lowers the write position by byteCount, not below 0. Player worker.
void takeFromMonitorFifo(ShellState& state, uint8_t* into, std::size_t byteCount);

}
