// An opened media file (any container FFmpeg reads): its streams, duration and metadata.
#pragma once

#include <cstdint>
#include <memory>

struct AVFormatContext;

namespace sorvak {

class MediaContainer {
public:
    // Opens the file and reads its stream information. Null when FFmpeg cannot read it.
    static std::unique_ptr<MediaContainer> open(const char* path);
    ~MediaContainer();
    MediaContainer(const MediaContainer&) = delete;
    MediaContainer& operator=(const MediaContainer&) = delete;

    AVFormatContext* context() const { return m_context; }
    // Index of the best audio stream, or -1 when the file holds none.
    int audioStream() const { return m_audioStream; }
    // Length of the file in 100-ns units; 0 when the container does not know it.
    int64_t duration() const;
    // The value of a metadata key (FFmpeg's generic names: "title", "artist", ...), looked up
    // case-insensitively in the container's tags and then in the audio stream's; null when
    // absent. Valid while the container is open.
    const char* tag(const char* key) const;

private:
    explicit MediaContainer(AVFormatContext* context);

    AVFormatContext* m_context;
    int m_audioStream = -1;
};

// Paths are handed to FFmpeg through its "file:" protocol, so that a name with a colon in it is
// never taken for another protocol.
std::unique_ptr<char[]> fileUrl(const char* path);

}
