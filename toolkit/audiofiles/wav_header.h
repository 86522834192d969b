// The canonical 44-byte WAV header and its finalisation, shared by every writer of WAV files in
// the toolkit (the converters write the header first, append the samples, then finalise).
#pragma once

namespace sorvak {

// Reopens a finished WAV file for update and patches its two size fields from its length L:
// L - 44 at offset 40 and (L - 44) + 36 at offset 4. Returns false when the file cannot be
// opened or written, or is shorter than a header.
bool finaliseWavHeader(const char* path);

}
