// The tagged conversions of a batch of tracks: the toolkit's tagged converters (MP3 with an
// ID3v2 tag, WMA with its attributes) writing a track's side file from its temporary WAV, and
// the read-back of what they wrote. Formats without a tagged converter are saved by the single
// save's conversion (take/save_conversion.h), untagged.
//
// Thread: encodeTagged runs on any thread, several at once on different files (each conversion
// owns its encoder and files; the toolkit's tagged converters keep no shared state).
// checkTaggedFile runs on the window thread: the toolkit's media reader answers in one shared
// buffer. The toolkit must be bound (g_toolkit).
// Errors: a SaveResult (take/save_result.h) whose message names the destination.
#pragma once

#include "take/save_conversion.h"
#include "take/save_result.h"

#include "sorvak.h"

#include <cstdint>
#include <string>

namespace wavelark {

// Whether the format has a tagged converter (MP3 and WMA).
bool hasTaggedConverter(SaveFormat format);

// Converts the temporary WAV into sidePath with the tags, at the format's and quality's settings
// (conversionSettings). progress is the toolkit's callback: a non-zero answer cancels, and the
// file written so far is then removed and the result is a Conversion failure saying so. Any
// failure leaves no file at sidePath. shownPath is the name the messages give the file.
SaveResult encodeTagged(const std::string& temporaryPath, const std::string& sidePath, const std::string& shownPath,
                        SaveFormat format, SaveQuality quality, const SorvakTags& tags,
                        SorvakProgressFunction progress);

// Reads back a file encodeTagged wrote: its duration must be rangeBytes of the take within one
// codec frame, as the single save checks its files.
SaveResult checkTaggedFile(const std::string& path, const std::string& shownPath, SaveFormat format,
                           uint32_t rangeBytes);

}
