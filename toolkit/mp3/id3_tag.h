// The ID3v2 tag of WAV2MP3Tagged, built by the bound libmp3lame's own tag functions.
#pragma once

#include "mp3/lame_binding.h"
#include "sorvak.h"

namespace sorvak {

// Hands the tags' fields to the encoder as ID3v2 text frames; called before lame_init_params.
// Only the ID3v2 tag is made (no ID3v1 at the end), and the encoder does not write it into its
// own output: the caller takes it with lame_get_id3v2_tag and writes it in front of the audio.
// A text that is not valid UTF-8 is left out. Returns false when the encoder refuses a field.
bool setId3Tags(const LameFunctions& lame, lame_global_flags* encoder, const SorvakTags& tags);

// Whether the tags hold any field to write.
bool hasAnyTag(const SorvakTags& tags);

}
