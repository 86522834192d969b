#include "audiofiles/media/media_container.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstring>

namespace sorvak {

namespace {

constexpr AVRational kHundredNanoseconds {1, 10000000};

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
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, fileUrl(path).get(), nullptr, nullptr) < 0)
        return nullptr;
    std::unique_ptr<MediaContainer> container(new MediaContainer(context));
    if (avformat_find_stream_info(context, nullptr) < 0)
        return nullptr;
    container->m_audioStream = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (container->m_audioStream < 0)
        container->m_audioStream = -1;
    return container;
}

MediaContainer::MediaContainer(AVFormatContext* context)
    : m_context(context)
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
