// The two stages of a save's conversion, which the single save runs one after the other
// (convertTemporaryWav in take/save_conversion.h) and a batch of tracks runs apart: the encoding,
// which writes the archive file's side file from the temporary WAV with the tags, and the
// read-back, which checks what was written before the side file is renamed into place.
//
// Every format that carries tags gets them: MP3 an ID3v2 tag and WMA its attributes through the
// toolkit's tagged converters (optional extras of the binding, core/toolkit_binding.h), FLAC
// Vorbis comments through libFLAC. A WAV file carries none, so they are left out of it.
//
// Thread: encodeSideFile for MP3, WMA and FLAC runs on any thread, several at once on different
// files: each call owns its encoder, its files and its read-back thread, and the tagged
// converters and libFLAC keep no shared state (encodesOnAnyThread). WAV's converter (ResampleWAV)
// reads through the toolkit's shared WAV slot, and checkSideFile asks the toolkit's media reader
// (GetWMAInfo, one shared answer buffer) or its WAV slot (OpenWAV): those run on one thread at a
// time, the window thread. The toolkit must be bound (g_toolkit).
// Errors: a SaveResult (take/save_result.h) whose message names shownPath, the archive file.
#pragma once

#include "take/pcm_blocks.h"
#include "take/save_conversion.h"
#include "take/save_result.h"

#include "sorvak.h"

#include <cstdint>
#include <string>

namespace wavelark {

// What a message about a file that does not hold what it should calls that: the single save's
// "the selection", a batch's "its track".
enum class SavedPart { Selection, Track };

// Whether the format's encodeSideFile may run on any thread, several at once (MP3, WMA, FLAC).
bool encodesOnAnyThread(SaveFormat format);

// Writes sidePath (sidePathOf the archive file shownPath), made anew and empty first so that a
// folder that cannot take it is reported with the system's reason, from the temporary WAV at the
// format's and quality's settings (conversionSettings), with tags (caller-owned, read during the
// call; null for none). MP3 and WMA go through the toolkit's tagged converters when the library
// has them (null or empty tags write exactly the untagged file); a library without them still
// writes untagged files, and fails files with tags rather than dropping the tags. FLAC needs a
// 44100 Hz 16-bit stereo temporary WAV and is read back here, as it is written (saveFlacFile's
// check); the other formats are read back by checkSideFile. progress is the toolkit's callback:
// a non-zero answer cancels, and the result is then a Conversion failure saying so (the toolkit's
// converters finish a cancelled file short and report success: that is caught here). Any failure
// leaves no file at sidePath.
SaveResult encodeSideFile(const std::string& temporaryPath, const std::string& sidePath, const std::string& shownPath,
                          SaveFormat format, SaveQuality quality, const SorvakTags* tags,
                          SorvakProgressFunction progress, SavedPart part = SavedPart::Selection);

// The FLAC part of encodeSideFile, also the single save's direct path from the raw take: encodes
// the 16-bit stereo frames of source (the raw take's range, or the temporary WAV's data) at the
// quality's level, with tags, into sidePath, which must exist (createSideFile). The file is
// decoded back as it is written and must hold exactly source's frames, every sample, with a
// matching MD5 signature (take/flac_check.h). Failures and threads as encodeSideFile's.
SaveResult encodeFlacSideFile(const PcmRegion& source, const std::string& sidePath, const std::string& shownPath,
                              SaveQuality quality, const SorvakTags* tags, SorvakProgressFunction progress,
                              SavedPart part = SavedPart::Selection);

// Reads back the side file encodeSideFile wrote: it must exist and hold rangeBytes of the take
// within one codec frame (MP3 1152, WMA 2048 samples, WAV one frame at its rate; a WAV file also
// the chosen rate and bits, two channels). A FLAC file was checked as it was written: nothing is
// left to do. Leaves the side file in place whatever it finds. One thread at a time (see above).
SaveResult checkSideFile(const std::string& sidePath, const std::string& shownPath, SaveFormat format,
                         SaveQuality quality, uint32_t rangeBytes, SavedPart part = SavedPart::Selection);

}
