// The binding of the MP3 encoder library (libmp3lame), loaded by name when the toolkit loads.
// Every entry point the encoder uses is resolved once, at binding; when the library or one of
// them is missing nothing stays bound and WAV2MP3 reports that by its result.
#pragma once

#include <lame/lame.h>

namespace sorvak {

// The entry points of libmp3lame the MP3 encoder calls. All are null while nothing is bound.
struct LameFunctions {
    decltype(&::lame_init) init = nullptr;
    decltype(&::lame_set_num_channels) setNumChannels = nullptr;
    decltype(&::lame_set_in_samplerate) setInSampleRate = nullptr;
    decltype(&::lame_set_out_samplerate) setOutSampleRate = nullptr;
    decltype(&::lame_set_brate) setBitRate = nullptr;
    decltype(&::lame_set_mode) setMode = nullptr;
    decltype(&::lame_set_VBR) setVbr = nullptr;
    decltype(&::lame_set_original) setOriginal = nullptr;
    decltype(&::lame_set_disable_reservoir) setDisableReservoir = nullptr;
    decltype(&::lame_set_bWriteVbrTag) setWriteInfoTag = nullptr;
    decltype(&::lame_init_params) initParams = nullptr;
    decltype(&::lame_get_framesize) getFrameSize = nullptr;
    decltype(&::lame_encode_buffer_interleaved) encodeInterleaved = nullptr;
    decltype(&::lame_encode_flush) encodeFlush = nullptr;
    decltype(&::lame_get_lametag_frame) getInfoTagFrame = nullptr;
    decltype(&::lame_close) close = nullptr;
    // The ID3 tag of the tagged encoding (id3_tag.h).
    decltype(&::id3tag_init) id3TagInit = nullptr;
    decltype(&::id3tag_v2_only) id3TagVersion2Only = nullptr;
    decltype(&::id3tag_set_textinfo_utf16) id3TagSetText = nullptr;
    decltype(&::lame_set_write_id3tag_automatic) setWriteId3TagAutomatic = nullptr;
    decltype(&::lame_get_id3v2_tag) getId3Version2Tag = nullptr;
};

// The library name the toolkit binds when it loads.
inline constexpr const char* kLameLibraryName = "libmp3lame.so.0";

// Loads the named library and resolves every entry point, replacing any earlier binding. A
// bare name (no '/') is first looked for in the toolkit's own folder and loaded from there by
// its full path when it is found and complete; otherwise the loader's search finds it.
// Returns false, leaving nothing bound, when the library cannot be loaded or an entry point is
// missing; lameBindingError() then names the library and the missing part. Called at library
// load and unload (and by tests); not safe while an encoding runs.
bool bindLameLibrary(const char* libraryName);

// Releases the bound library; afterwards nothing is bound.
void releaseLameLibrary();

// The bound entry points, or null when no library is bound.
const LameFunctions* lameFunctions();

// Why the last binding failed ("" after a successful one).
const char* lameBindingError();

}
