// GetWMADuration and GetWMAInfo: questions about a file that is opened and closed again at once.
// The attribute names are those of Windows Media files; they map to the container's metadata,
// so that the same names answer for MP3, Ogg, FLAC and the rest.

#include "audiofiles/media/media_container.h"
#include "audiofiles/media/reader_slots.h"
#include "audiofiles/wav_probe.h"
#include "helpers/utf.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

struct AttributeTags {
    const char* attribute;
    const char* tags[3];  // FFmpeg's generic names, tried in order
};

constexpr AttributeTags kAttributeTags[] = {
    {"Title", {"title", nullptr, nullptr}},
    {"Author", {"artist", "author", "album_artist"}},
    {"WM/AlbumTitle", {"album", nullptr, nullptr}},
    {"WM/Year", {"date", "year", "WM/Year"}},  // FFmpeg keeps an ASF file's WM/Year by that name
    {"WM/Genre", {"genre", nullptr, nullptr}},
    {"WM/TrackNumber", {"track", nullptr, nullptr}},
};

// The result of GetWMAInfo; each call overwrites it. Longer values are cut on a whole character.
char g_attributeValue[4096];

int64_t wavFileDuration(const char* path)
{
    const WavFormat* format = sorvak::probeWavFormat(path);
    if (!format || format->formatTag != 1 || format->sampleRate == 0 || format->blockAlign == 0)
        return 0;
    return static_cast<int64_t>(10000000.0 / format->sampleRate * format->dataLength / format->blockAlign);
}

int64_t fileDuration(const char* path)
{
    if (!path)
        return 0;
    if (sorvak::namesWavFile(path))
        return wavFileDuration(path);
    std::unique_ptr<sorvak::MediaContainer> container = sorvak::MediaContainer::open(path);
    return container ? container->duration() : 0;
}

// The value of an attribute: a known Windows Media name through its tags, any other name as a
// tag of its own.
const char* attributeValue(const sorvak::MediaContainer& container, const char* name)
{
    for (const AttributeTags& entry : kAttributeTags) {
        if (std::strcmp(entry.attribute, name) != 0)
            continue;
        for (const char* tag : entry.tags) {
            if (!tag)
                break;
            if (const char* value = container.tag(tag))
                return value;
        }
        return nullptr;
    }
    return container.tag(name);
}

char* keepAttributeValue(const char* value)
{
    sorvak::copyUtf8Cut(g_attributeValue, sizeof g_attributeValue, value, std::strlen(value));
    return g_attributeValue;
}

}

char* GetWMADuration(const char* path)
{
    return nanosec2time(fileDuration(path));
}

char* GetWMAInfo(const char* path, const char* name)
{
    if (!path || !name)
        return nullptr;
    std::unique_ptr<sorvak::MediaContainer> container = sorvak::MediaContainer::open(path);
    if (!container)
        return nullptr;
    if (std::strcmp(name, "Duration") == 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%" PRId64, container->duration());
        return keepAttributeValue(text);
    }
    const char* value = attributeValue(*container, name);
    return value ? keepAttributeValue(value) : nullptr;
}
