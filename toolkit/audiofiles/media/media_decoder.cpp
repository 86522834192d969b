#include "audiofiles/media/media_decoder.h"

#include "audiofiles/media/media_container.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <utility>

namespace sorvak {

namespace {

constexpr AVRational kHundredNanoseconds {1, 10000000};
constexpr int64_t kTicksPerSecond = 10000000;
// A file whose packets keep failing to decode is given up after this many in a row.
constexpr int kMostDamagedPacketsInARow = 1000;

WAVEFORMATEX pcmFormat(int sampleRate, int channels)
{
    WAVEFORMATEX format {};
    format.wFormatTag = 1;
    format.nChannels = static_cast<uint16_t>(channels);
    format.nSamplesPerSec = static_cast<uint32_t>(sampleRate);
    format.nBlockAlign = static_cast<uint16_t>(channels * 2);
    format.nAvgBytesPerSec = static_cast<uint32_t>(sampleRate) * format.nBlockAlign;
    format.wBitsPerSample = 16;
    return format;
}

}

MediaDecoder::MediaDecoder() = default;

MediaDecoder::~MediaDecoder()
{
    swr_free(&m_converter);
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
}

std::unique_ptr<MediaDecoder> MediaDecoder::open(const char* path)
{
    std::unique_ptr<MediaDecoder> decoder(new MediaDecoder());
    if (!decoder->openCodec(path))
        return nullptr;
    DecodedBlock first;
    if (!decoder->nextBlock(first))
        return nullptr;
    decoder->m_format = first.format;
    decoder->m_pending = std::move(first);
    decoder->m_hasPending = true;
    return decoder;
}

std::unique_ptr<MediaDecoder> MediaDecoder::openFrames(const char* path)
{
    std::unique_ptr<MediaDecoder> decoder(new MediaDecoder());
    if (!decoder->openCodec(path))
        return nullptr;
    return decoder;
}

const AVFrame* MediaDecoder::nextFrame()
{
    av_frame_unref(m_frame);
    return receiveFrame() ? m_frame : nullptr;
}

bool MediaDecoder::durationIsStated() const
{
    return m_container->context()->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
}

double MediaDecoder::secondsPerTick() const
{
    return av_q2d(m_container->context()->streams[m_container->audioStream()]->time_base);
}

bool MediaDecoder::openCodec(const char* path)
{
    m_container = MediaContainer::open(path);
    if (!m_container || m_container->audioStream() < 0)
        return false;
    AVFormatContext* context = m_container->context();
    int audio = m_container->audioStream();
    for (unsigned index = 0; index < context->nb_streams; ++index) {
        if (static_cast<int>(index) != audio)
            context->streams[index]->discard = AVDISCARD_ALL;
    }
    const AVStream* stream = context->streams[audio];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return false;
    m_codec = avcodec_alloc_context3(codec);
    if (!m_codec || avcodec_parameters_to_context(m_codec, stream->codecpar) < 0)
        return false;
    m_codec->pkt_timebase = stream->time_base;
    if (avcodec_open2(m_codec, codec, nullptr) < 0)
        return false;
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame)
        return false;
    // A stream stamped from before 0 starts with its codec's priming (a WMA file's first frame,
    // which the decoder hands out nothing for): its audio starts at 0, not at the first stamp, so
    // its blocks are stamped as those of a file that states no priming.
    m_streamStart = stream->start_time != AV_NOPTS_VALUE && stream->start_time > 0 ? stream->start_time : 0;
    return true;
}

int64_t MediaDecoder::duration() const
{
    return m_container->duration();
}

bool MediaDecoder::nextBlock(DecodedBlock& block)
{
    if (m_hasPending) {
        m_hasPending = false;
        block = std::move(m_pending);
        return true;
    }
    while (receiveFrame()) {
        bool converted = convertFrame(block);
        av_frame_unref(m_frame);
        if (!converted)
            return false;
        if (!block.samples.empty())
            return true;
    }
    return false;
}

bool MediaDecoder::receiveFrame()
{
    AVFormatContext* context = m_container->context();
    int damagedInARow = 0;
    for (;;) {
        int received = avcodec_receive_frame(m_codec, m_frame);
        if (received == 0)
            return true;
        // The end after draining, or a failure of the decoder itself.
        if (received != AVERROR(EAGAIN))
            return false;
        if (av_read_frame(context, m_packet) < 0) {
            // End of the file (or a read error): let the decoder give up what it still holds.
            if (m_draining || avcodec_send_packet(m_codec, nullptr) < 0)
                return false;
            m_draining = true;
            continue;
        }
        if (m_packet->stream_index == m_container->audioStream()) {
            int sent = avcodec_send_packet(m_codec, m_packet);
            // A packet that does not decode (a damaged part of the file) is skipped.
            damagedInARow = sent < 0 ? damagedInARow + 1 : 0;
        }
        av_packet_unref(m_packet);
        if (damagedInARow >= kMostDamagedPacketsInARow)
            return false;
    }
}

bool MediaDecoder::configureConverter()
{
    int sampleRate = m_frame->sample_rate;
    int channels = m_frame->ch_layout.nb_channels;
    if (sampleRate <= 0 || channels <= 0)
        return false;
    if (m_converter && m_converterFormat == m_frame->format && m_converterRate == sampleRate
        && m_converterChannels == channels)
        return true;

    AVChannelLayout input {};
    if (m_frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_copy(&input, &m_frame->ch_layout) < 0)
        av_channel_layout_default(&input, channels);
    AVChannelLayout output {};
    av_channel_layout_default(&output, channels == 1 ? 1 : 2);
    swr_free(&m_converter);
    // Same rate in and out: only the sample format, the interleaving and (above two channels)
    // the channel count change.
    int allocated = swr_alloc_set_opts2(&m_converter, &output, AV_SAMPLE_FMT_S16, sampleRate, &input,
                                        static_cast<AVSampleFormat>(m_frame->format), sampleRate, 0, nullptr);
    av_channel_layout_uninit(&input);
    av_channel_layout_uninit(&output);
    if (allocated < 0 || swr_init(m_converter) < 0) {
        swr_free(&m_converter);
        return false;
    }
    m_converterFormat = m_frame->format;
    m_converterRate = sampleRate;
    m_converterChannels = channels;
    return true;
}

bool MediaDecoder::convertFrame(DecodedBlock& block)
{
    if (!configureConverter())
        return false;
    int sampleRate = m_converterRate;
    int channels = m_converterChannels == 1 ? 1 : 2;
    int frames = m_frame->nb_samples;
    std::size_t frameBytes = static_cast<std::size_t>(channels) * 2;
    block.samples.resize(static_cast<std::size_t>(frames) * frameBytes);
    uint8_t* output[] = {block.samples.data()};
    int converted = swr_convert(m_converter, output, frames, const_cast<const uint8_t**>(m_frame->extended_data), frames);
    if (converted < 0)
        return false;
    block.samples.resize(static_cast<std::size_t>(converted) * frameBytes);
    block.format = pcmFormat(sampleRate, channels);

    const AVStream* stream = m_container->context()->streams[m_container->audioStream()];
    int64_t stamp = m_frame->best_effort_timestamp;
    int64_t time = stamp != AV_NOPTS_VALUE ? av_rescale_q(stamp - m_streamStart, stream->time_base, kHundredNanoseconds)
                                           : m_nextTime;
    if (time < 0)
        time = 0;
    m_nextTime = time + av_rescale(converted, kTicksPerSecond, sampleRate);

    // After a seek the demuxer lands on or before the target: drop what lies before it.
    if (time < m_discardBefore) {
        int64_t dropped = av_rescale(m_discardBefore - time, sampleRate, kTicksPerSecond);
        if (dropped >= converted) {
            block.samples.clear();
        } else {
            block.samples.erase(block.samples.begin(), block.samples.begin() + static_cast<std::ptrdiff_t>(dropped * frameBytes));
            time += av_rescale(dropped, kTicksPerSecond, sampleRate);
        }
    }
    block.time = time;
    return true;
}

bool MediaDecoder::seek(int64_t time)
{
    if (time < 0)
        time = 0;
    AVFormatContext* context = m_container->context();
    int audio = m_container->audioStream();
    int64_t target = m_streamStart + av_rescale_q(time, kHundredNanoseconds, context->streams[audio]->time_base);
    if (av_seek_frame(context, audio, target, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_codec);
    m_draining = false;
    m_hasPending = false;
    m_pending.samples.clear();
    m_discardBefore = time;
    m_nextTime = time;
    return true;
}

}
