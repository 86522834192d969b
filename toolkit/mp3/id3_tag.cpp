#include "mp3/id3_tag.h"

#include "helpers/utf.h"

#include <cstring>
#include <string>
#include <vector>

namespace sorvak {

namespace {

bool present(const char* text)
{
    return text && *text;
}

// One text frame as UTF-16. LAME wants a byte-order mark in front, in the machine's own order,
// and writes the frame with it, so readers take it as UTF-16 whatever the machine.
bool setText(const LameFunctions& lame, lame_global_flags* encoder, const char* frameId, const char* text)
{
    if (!present(text))
        return true;
    // UTF-8 never needs more UTF-16 units than bytes; one more for the mark, one for the end.
    std::vector<char16_t> units(std::strlen(text) + 2);
    units[0] = 0xFEFF;
    if (!utf8ToUtf16(text, units.data() + 1, units.size() - 1))
        return true;
    return lame.id3TagSetText(encoder, frameId, reinterpret_cast<const unsigned short*>(units.data())) == 0;
}

std::string trackText(const SorvakTags& tags)
{
    if (tags.trackNumber <= 0)
        return {};
    std::string text = std::to_string(tags.trackNumber);
    if (tags.trackCount > 0)
        text += "/" + std::to_string(tags.trackCount);
    return text;
}

}

bool hasAnyTag(const SorvakTags& tags)
{
    return present(tags.title) || present(tags.artist) || present(tags.album) || present(tags.year)
        || tags.trackNumber > 0;
}

bool setId3Tags(const LameFunctions& lame, lame_global_flags* encoder, const SorvakTags& tags)
{
    lame.id3TagInit(encoder);
    lame.id3TagVersion2Only(encoder);
    lame.setWriteId3TagAutomatic(encoder, 0);
    const std::string track = trackText(tags);
    return setText(lame, encoder, "TIT2", tags.title) && setText(lame, encoder, "TPE1", tags.artist)
        && setText(lame, encoder, "TALB", tags.album) && setText(lame, encoder, "TYER", tags.year)
        && setText(lame, encoder, "TRCK", track.c_str());
}

}
