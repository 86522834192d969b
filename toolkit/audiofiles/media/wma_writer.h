// Writes 44100 Hz, 16-bit stereo PCM as Windows Media Audio (wmav2) in an ASF file. A decoder
// reading the file hands out the written samples from the first on: the encoder's priming falls
// on one frame of silence written ahead of them. The last frame is padded with silence, so the
// decoded file ends with less than one encoder frame (2048 samples) of silence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct AVCodecContext;
struct AVDictionary;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SorvakTags;

namespace sorvak {

class WmaWriter {
public:
    // Creates (or replaces) the file and writes its header; bitRate in bits per second. Null,
    // and no file left behind, when the encoder or the file cannot be set up. A path naming
    // anything but a regular file (a named pipe, a device, a folder) is refused and left alone.
    // Tags (null for none; only read during the call) become the header's attributes: Title,
    // Author, WM/AlbumTitle, WM/Year and WM/TrackNumber (the number only).
    static std::unique_ptr<WmaWriter> create(const char* path, int bitRate, const SorvakTags* tags = nullptr);
    // A writer dropped before finish() closes its file unfinished; the caller removes it.
    ~WmaWriter();
    WmaWriter(const WmaWriter&) = delete;
    WmaWriter& operator=(const WmaWriter&) = delete;

    // Appends interleaved 16-bit stereo samples (whole frames; a trailing partial frame is
    // dropped). The encoder's frames are time-stamped by the count of samples before them.
    bool write(const uint8_t* pcm, std::size_t bytes);
    // Encodes what is left (the last frame padded with silence), writes the file's trailer and
    // closes it. False when anything could not be written.
    bool finish();

private:
    WmaWriter() = default;
    bool open(const char* path, int bitRate, const SorvakTags* tags);
    bool setAttributes(const SorvakTags& tags);
    bool writeSilence(int frames);
    bool encodePendingFrame(int frames);
    bool drainPackets();

    AVFormatContext* m_container = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    int m_pendingFrames = 0;      // samples per channel waiting in m_frame
    int64_t m_framesEncoded = 0;  // samples per channel handed to the encoder
    bool m_fileOpen = false;
};

}
