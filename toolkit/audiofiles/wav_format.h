// The chunk walk shared by OpenWAV and the format probe: finds the "fmt " and "data" chunks of
// a RIFF/WAVE file and fills a format record from them.
#pragma once

#include "audiofiles/riff_reader.h"
#include "sorvak.h"

namespace sorvak {

// Fills format from the file at path: rate, bits, channels, block alignment and format tag
// from the "fmt " chunk; data offset and the data length its header states from the "data"
// chunk. The chunks may stand in any order, with other chunks (LIST, fact, ...) between them.
//
// A "fmt " body must hold at least the 16 bytes of a PCM format (tag through bits per sample);
// a shorter one is refused, as is one cut off by the end of the file. The two bytes of extra
// size that follow in an 18-byte format are not used, so a 16-byte body is complete.
// A "data" chunk whose body would start beyond 4 GiB cannot be described and is refused.
//
// format is left untouched on failure. Opens the file in reader (closing what it held before)
// and leaves it open there, so that the caller may go on reading the same file.
RiffError readWavFormat(const char* path, RiffReader& reader, WavFormat& format);

}
