// The toolkit's wave-out player behind CreateWaveOut: one player per process, a ring of 2 to 16
// equally sized buffers on a wave-out of the audio layer, refilled by the caller's fill function
// each time the device has played one.
#pragma once

#include "sorvak.h"
#include "wave_device.h"

namespace sorvak::player {

// Opens the process's player; null when the arguments are unusable, a player is already open
// or the device cannot be opened (nothing is left behind then).
void* openPlayer(int sampleRate, int bufferSize, int bufferCount, int deviceId, SorvakFillFunction fill);

// Closes the player the handle names once every buffer has come back once more; does nothing
// for any other handle.
void closePlayer(void* handle);

// The open player's underrun and overrun counts; all zero when no player is open.
wavelark::audio::XrunCounts playerXrunCounts();

}
