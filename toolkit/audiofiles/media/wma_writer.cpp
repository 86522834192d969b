#include "audiofiles/media/wma_writer.h"

#include "audiofiles/media/media_container.h"
#include "sorvak.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace sorvak {

namespace {

constexpr int kSampleRate = 44100;

// Adds one attribute; an absent (null or empty) value adds nothing.
bool setAttribute(AVDictionary** attributes, const char* name, const char* value)
{
    return !value || !*value || av_dict_set(attributes, name, value, 0) >= 0;
}

}

std::unique_ptr<WmaWriter> WmaWriter::create(const char* path, int bitRate, const SorvakTags* tags)
{
    std::unique_ptr<WmaWriter> writer(new WmaWriter());
    if (writer->open(path, bitRate, tags))
        return writer;
    bool fileCreated = writer->m_fileOpen;
    writer.reset();
    if (fileCreated)
        std::remove(path);
    return nullptr;
}

// FFmpeg's ASF muxer writes "title" and "artist" as the Title and Author of the content
// description, "album" and "track" as WM/AlbumTitle and WM/TrackNumber, and other names as they
// stand: its "date" would become an attribute of that name, so the year goes in as WM/Year.
bool WmaWriter::setAttributes(const SorvakTags& tags)
{
    const std::string track = tags.trackNumber > 0 ? std::to_string(tags.trackNumber) : std::string();
    return setAttribute(&m_container->metadata, "title", tags.title)
        && setAttribute(&m_container->metadata, "artist", tags.artist)
        && setAttribute(&m_container->metadata, "album", tags.album)
        && setAttribute(&m_container->metadata, "WM/Year", tags.year)
        && setAttribute(&m_container->metadata, "track", track.c_str());
}

bool WmaWriter::open(const char* path, int bitRate, const SorvakTags* tags)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!codec || avformat_alloc_output_context2(&m_container, nullptr, "asf", nullptr) < 0)
        return false;
    if (tags && !setAttributes(*tags))
        return false;
    AVStream* stream = avformat_new_stream(m_container, nullptr);
    m_codec = avcodec_alloc_context3(codec);
    if (!stream || !m_codec)
        return false;
    m_codec->sample_fmt = AV_SAMPLE_FMT_FLTP;  // the only format the wmav2 encoder takes
    m_codec->sample_rate = kSampleRate;
    m_codec->bit_rate = bitRate;
    m_codec->time_base = AVRational {1, kSampleRate};
    av_channel_layout_default(&m_codec->ch_layout, 2);
    if (m_container->oformat->flags & AVFMT_GLOBALHEADER)
        m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(m_codec, codec, nullptr) < 0 || avcodec_parameters_from_context(stream->codecpar, m_codec) < 0)
        return false;
    stream->time_base = m_codec->time_base;

    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_frame || !m_packet)
        return false;
    m_frame->format = AV_SAMPLE_FMT_FLTP;
    m_frame->sample_rate = kSampleRate;
    m_frame->nb_samples = m_codec->frame_size;
    if (av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout) < 0 || av_frame_get_buffer(m_frame, 0) < 0)
        return false;

    // Only a regular file is replaced: a named pipe would wait for a reader for ever, and a
    // device is nothing to write a WMA file into.
    struct stat status {};
    if (stat(path, &status) == 0 && !S_ISREG(status.st_mode))
        return false;
    // avio_open truncates a file that exists already, so an earlier file is replaced.
    AVDictionary* options = nullptr;
    if (av_dict_set(&options, "protocol_whitelist", "file", 0) < 0)
        return false;
    int opened = avio_open2(&m_container->pb, fileUrl(path).get(), AVIO_FLAG_WRITE, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return false;
    m_fileOpen = true;
    // The encoder states its priming of one frame by stamping its first packet one frame before
    // time 0; that packet is the silent frame written below, so the first sample written is
    // stamped 0. The stamps stay as they are (within the ASF preroll) rather than all moving a
    // frame later, which would state a file one frame longer than the samples written.
    m_container->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
    if (avformat_write_header(m_container, nullptr) < 0)
        return false;
    // Decoders hand out nothing for the first frame the encoder wrote (its transform has no
    // earlier half to overlap with): one frame of silence ahead of the samples falls there, so
    // the file's first decoded sample is the first one written.
    return writeSilence(m_codec->frame_size);
}

bool WmaWriter::writeSilence(int frames)
{
    for (int index = 0; index < frames; ++index) {
        if (m_pendingFrames == 0 && av_frame_make_writable(m_frame) < 0)
            return false;
        reinterpret_cast<float*>(m_frame->data[0])[m_pendingFrames] = 0.0f;
        reinterpret_cast<float*>(m_frame->data[1])[m_pendingFrames] = 0.0f;
        if (++m_pendingFrames == m_codec->frame_size && !encodePendingFrame(m_pendingFrames))
            return false;
    }
    return true;
}

WmaWriter::~WmaWriter()
{
    if (m_container && m_fileOpen)
        avio_closep(&m_container->pb);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_codec);
    avformat_free_context(m_container);
}

bool WmaWriter::write(const uint8_t* pcm, std::size_t bytes)
{
    std::size_t frames = bytes / 4;
    for (std::size_t index = 0; index < frames; ++index) {
        if (m_pendingFrames == 0 && av_frame_make_writable(m_frame) < 0)
            return false;
        int16_t left = 0;
        int16_t right = 0;
        std::memcpy(&left, pcm + index * 4, 2);
        std::memcpy(&right, pcm + index * 4 + 2, 2);
        reinterpret_cast<float*>(m_frame->data[0])[m_pendingFrames] = static_cast<float>(left) / 32768.0f;
        reinterpret_cast<float*>(m_frame->data[1])[m_pendingFrames] = static_cast<float>(right) / 32768.0f;
        if (++m_pendingFrames == m_codec->frame_size && !encodePendingFrame(m_pendingFrames))
            return false;
    }
    return true;
}

bool WmaWriter::encodePendingFrame(int frames)
{
    m_frame->nb_samples = frames;
    m_frame->pts = m_framesEncoded;
    m_framesEncoded += frames;
    m_pendingFrames = 0;
    return avcodec_send_frame(m_codec, m_frame) >= 0 && drainPackets();
}

bool WmaWriter::drainPackets()
{
    for (;;) {
        int received = avcodec_receive_packet(m_codec, m_packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0)
            return false;
        av_packet_rescale_ts(m_packet, m_codec->time_base, m_container->streams[0]->time_base);
        m_packet->stream_index = 0;
        int written = av_write_frame(m_container, m_packet);
        av_packet_unref(m_packet);
        if (written < 0)
            return false;
    }
}

bool WmaWriter::finish()
{
    bool encoded = true;
    // The encoder pads a short last frame with silence.
    if (m_pendingFrames > 0)
        encoded = encodePendingFrame(m_pendingFrames);
    encoded = encoded && avcodec_send_frame(m_codec, nullptr) >= 0 && drainPackets();
    bool trailerWritten = encoded && av_write_trailer(m_container) >= 0;
    bool closed = avio_closep(&m_container->pb) >= 0;
    m_fileOpen = false;
    return trailerWritten && closed;
}

}
