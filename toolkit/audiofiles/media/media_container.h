// An opened media file: its streams, duration and metadata.
//
// What is opened is restricted to what a user can mean by an audio file:
// - a regular file only: a named pipe, a device or a folder is refused at once (a pipe would
//   otherwise wait for a writer for ever);
// - in an audio container, by an allow-list of FFmpeg's demuxers: ASF (WMA), MPEG audio (MP1,
//   MP2, MP3), WAV and Wave64, FLAC, Ogg, MP4/M4A, raw AAC, Matroska/WebM, AIFF, AC-3, E-AC-3,
//   DTS, AMR, Monkey's Audio, WavPack, TTA, Musepack, TAK, Shorten, Sun AU, CAF, VOC, DSF and
//   xWMA. Whatever FFmpeg recognises as something else is refused, however it is named: a
//   playlist (HLS, M3U8), a concat script, an image sequence, a filter graph, a video container
//   such as AVI or MPEG-TS. This is what keeps the demuxers that read other files out. Allowing
//   rather than denying keeps a demuxer added to a later FFmpeg out until it is named here;
// - read from that file alone: FFmpeg reads the descriptor the toolkit opened, a demuxer's
//   request to open a further file or URL is refused, and no protocol but "file" is allowed.
#pragma once

#include <cstdint>
#include <memory>

struct AVFormatContext;

namespace sorvak {

class MediaFileInput;

class MediaContainer {
public:
    // Opens the file and reads its stream information. Null when the file is refused (see
    // above) or FFmpeg cannot read it. Never waits for anything but the file's own reads.
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
    MediaContainer(AVFormatContext* context, std::unique_ptr<MediaFileInput> input);

    AVFormatContext* m_context;
    std::unique_ptr<MediaFileInput> m_input;  // what m_context reads; outlives it
    int m_audioStream = -1;
};

// Whether a demuxer of FFmpeg's (its name, which may be a list such as "mov,mp4,m4a,3gp,3g2,mj2")
// is one of the audio containers above.
bool isAudioContainer(const char* demuxerName);

// Paths are handed to FFmpeg through its "file:" protocol, so that a name with a colon in it is
// never taken for another protocol (the writer opens its file so; for a reader the URL only
// names the file, whose extension FFmpeg weighs when it recognises the container).
std::unique_ptr<char[]> fileUrl(const char* path);

}
