// The one-shot WAV format probe: the same chunk walk as OpenWAV on a fresh handle that is closed
// at once, filling a separate process-wide record. Uses no slot and opens no data stream.
#pragma once

#include "sorvak.h"

namespace sorvak {

// Returns the probe record (overwritten by the next probe), or null when the file is not a
// readable RIFF/WAVE file with "fmt " and "data" chunks. Window thread only.
const WavFormat* probeWavFormat(const char* path);

}
