// The read-back of a FLAC file against the samples it was made from: the file is decoded with
// libFLAC and every sample compared, so a save counts only when the file holds exactly its source.
//
// Thread: any one thread per call; long operation (one decode of the file, one read of the source).
// Errors: nothing when the file matches, else what differs, in words fit for a message.
#pragma once

#include "take/pcm_blocks.h"

#include <optional>
#include <string>

namespace wavelark {

// Decodes the FLAC file at path and compares it with the 16-bit stereo frames of expected: the
// stream must be 44100 Hz, 16-bit, two channels, state exactly expected's frame count in its
// STREAMINFO and hold that many frames, each sample equal to the source's; the STREAMINFO's MD5
// signature must be set and equal to that of the decoded audio (so, with the samples equal, to
// the source's). A file that cannot be decoded is a difference too.
std::optional<std::string> flacDifference(const std::string& path, const PcmRegion& expected);

}
