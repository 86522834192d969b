// FLAC encoding of the take's PCM (44100 Hz, 16-bit stereo, little-endian, whole frames) with
// libFLAC: the STREAMINFO carries the total sample count and the MD5 signature of the audio, the
// tags go into a Vorbis comment block (TITLE, ARTIST, ALBUM, DATE, TRACKNUMBER, TRACKTOTAL), as
// the toolkit's tagged converters read SorvakTags (null or empty texts and track 0 are left out).
//
// Thread: any one thread per call (libFLAC's encoder is private to the call); long operation.
// Errors: nothing on success, else the reason in words fit for a message.
#pragma once

#include "take/pcm_blocks.h"

#include "sorvak.h"

#include <functional>
#include <optional>
#include <string>

namespace wavelark {

// The compression levels libFLAC knows: 0 is the fastest, 8 the smallest; every level is lossless.
inline constexpr int kFastestFlacLevel = 0;
inline constexpr int kDefaultFlacLevel = 5;
inline constexpr int kSmallestFlacLevel = 8;

// Encodes every whole frame of source into a FLAC file at path (created or truncated) at level
// 0..8. progress(wholePercent(encoded, total)) follows each 1 MiB block read; a non-zero answer
// stops the encoding, which then fails ("the save was cancelled"). A read that fails or a source
// that ends before its region does fails too. afterBlock (may be empty) is called after each block
// has gone to the encoder, for a reader that follows the file as it grows. The file at path is the
// caller's to remove after a failure.
std::optional<std::string> encodeFlac(const PcmRegion& source, const std::string& path, int level, const SorvakTags* tags,
                                      SorvakProgressFunction progress, const std::function<void()>& afterBlock = {});

// True when tags is not null and would write a tag: a text that is set, or a track number.
bool hasTags(const SorvakTags* tags);

}
