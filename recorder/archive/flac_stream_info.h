// The duration of a FLAC file from its STREAMINFO block: the first metadata block after the
// "fLaC" marker (and after an ID3v2 tag that some taggers put in front), holding the sample rate
// and the total number of samples. Only the file's first bytes are read.
//
// Thread: any. Errors: nothing when the file is not a FLAC file or does not state its length.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace wavelark {

// The duration in units of 100 ns (as the toolkit's times are), or nothing when the file cannot be
// read, is no FLAC stream, or states no sample rate or no total (a stream written live).
std::optional<int64_t> flacDuration(const char* path);

// The same over a file's first bytes (at least the ID3v2 tag, if any, and 42 bytes after it).
std::optional<int64_t> flacDurationOf(std::string_view firstBytes);

}
