#include "audiofiles/media/media_container.h"

#include "audiofiles/media/media_file_input.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
}

#include <cerrno>
#include <cstring>
#include <utility>

namespace sorvak {

namespace {

constexpr AVRational kHundredNanoseconds {1, 10000000};

// FFmpeg's names of the audio containers the header lists. A demuxer whose name is a list
// ("mov,mp4,m4a,3gp,3g2,mj2", "matroska,webm") is allowed when one of its names is here.
constexpr char kAudioContainers[] = "asf,mp3,wav,w64,flac,ogg,mov,aac,matroska,aiff,ac3,eac3,dts,amr,ape,wv,tta,"
                                    "mpc,mpc8,tak,shn,au,caf,voc,dsf,xwma";

// A media file is read from itself alone: a demuxer asking for another file or URL is refused.
int refuseFurtherOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

}

bool isAudioContainer(const char* demuxerName)
{
    return demuxerName && av_match_list(demuxerName, kAudioContainers, ',') > 0;
}

std::unique_ptr<char[]> fileUrl(const char* path)
{
    static constexpr char kProtocol[] = "file:";
    std::size_t length = std::strlen(path);
    auto url = std::make_unique<char[]>(sizeof kProtocol + length);
    std::memcpy(url.get(), kProtocol, sizeof kProtocol - 1);
    std::memcpy(url.get() + sizeof kProtocol - 1, path, length + 1);
    return url;
}

std::unique_ptr<MediaContainer> MediaContainer::open(const char* path)
{
    if (!path || !*path)
        return nullptr;
    std::unique_ptr<MediaFileInput> input = MediaFileInput::open(path);
    if (!input)
        return nullptr;
    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        return nullptr;
    context->pb = input->io();
    context->io_open = refuseFurtherOpen;
    AVDictionary* options = nullptr;
    if (av_dict_set(&options, "format_whitelist", kAudioContainers, 0) < 0
        || av_dict_set(&options, "protocol_whitelist", "file", 0) < 0) {
        av_dict_free(&options);
        avformat_free_context(context);
        return nullptr;
    }
    // On failure FFmpeg frees the context (never the input, which is the caller's).
    int opened = avformat_open_input(&context, fileUrl(path).get(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return nullptr;
    std::unique_ptr<MediaContainer> container(new MediaContainer(context, std::move(input)));
    if (avformat_find_stream_info(context, nullptr) < 0)
        return nullptr;
    container->m_audioStream = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (container->m_audioStream < 0)
        container->m_audioStream = -1;
    return container;
}

MediaContainer::MediaContainer(AVFormatContext* context, std::unique_ptr<MediaFileInput> input)
    : m_context(context)
    , m_input(std::move(input))
{
}

MediaContainer::~MediaContainer()
{
    avformat_close_input(&m_context);
}

int64_t MediaContainer::duration() const
{
    if (m_context->duration != AV_NOPTS_VALUE && m_context->duration > 0)
        return av_rescale_q(m_context->duration, AV_TIME_BASE_Q, kHundredNanoseconds);
    if (m_audioStream >= 0) {
        const AVStream* stream = m_context->streams[m_audioStream];
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            return av_rescale_q(stream->duration, stream->time_base, kHundredNanoseconds);
    }
    return 0;
}

const char* MediaContainer::tag(const char* key) const
{
    if (const AVDictionaryEntry* entry = av_dict_get(m_context->metadata, key, nullptr, 0))
        return entry->value;
    if (m_audioStream >= 0) {
        if (const AVDictionaryEntry* entry = av_dict_get(m_context->streams[m_audioStream]->metadata, key, nullptr, 0))
            return entry->value;
    }
    return nullptr;
}

}
