// ExamineAudioFile: whether AudioFileToWAV can take a file, found out before anything is
// converted, and if not why, in terms a message to a user can be made of.

#include "audiofiles/media/media_container.h"
#include "audiofiles/media/media_decoder.h"
#include "audiofiles/media/media_file_input.h"
#include "sorvak.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

#include <cstdio>
#include <cstring>

namespace {

constexpr int kLowestRate = 8000;
constexpr int kHighestRate = 192000;
// The stretch at the end decoded to see that the audio lasts as long as the file says.
constexpr int64_t kTailTicks = 2 * 10000000LL;
// A file whose audio ends this much short of its stated length (a second's worth per 100 s,
// and never less than 100 ms) is taken for a cut-off one.
constexpr double kShortfallShare = 0.01;
constexpr int64_t kLeastShortfallTicks = 1000000;

void copyText(char* destination, std::size_t size, const char* text)
{
    std::snprintf(destination, size, "%s", text ? text : "");
}

int verdict(SorvakAudioFileReport* report, int value)
{
    report->verdict = value;
    return value;
}

// The name FFmpeg gives the file's format, found from its first bytes alone (no demuxer runs),
// and how sure FFmpeg is of it (up to 100; 50 and below: recognised by the name's extension
// only). False when the bytes are not of any format FFmpeg knows.
bool probeFormat(const char* path, SorvakAudioFileReport* report, int& score)
{
    std::unique_ptr<sorvak::MediaFileInput> input = sorvak::MediaFileInput::open(path);
    if (!input)
        return false;
    const AVInputFormat* format = nullptr;
    score = av_probe_input_buffer2(input->io(), &format, sorvak::fileUrl(path).get(), nullptr, 0, 0);
    if (score < 0 || !format)
        return false;
    copyText(report->container, sizeof report->container, format->long_name ? format->long_name : format->name);
    copyText(report->demuxer, sizeof report->demuxer, format->name);
    return true;
}

bool holdsVideo(const AVFormatContext& context)
{
    for (unsigned index = 0; index < context.nb_streams; ++index) {
        const AVStream* stream = context.streams[index];
        // A cover picture is no video.
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return true;
    }
    return false;
}

// Whether the audio reaches the length the file states: its last two seconds are decoded.
bool reachesStatedLength(const char* path)
{
    std::unique_ptr<sorvak::MediaDecoder> decoder = sorvak::MediaDecoder::openFrames(path);
    if (!decoder)
        return false;
    const int64_t duration = decoder->duration();
    if (duration <= 0 || !decoder->durationIsStated())
        return true;
    if (duration > 2 * kTailTicks && !decoder->seek(duration - kTailTicks))
        return false;
    int64_t end = 0;
    while (const AVFrame* frame = decoder->nextFrame()) {
        if (frame->best_effort_timestamp == AV_NOPTS_VALUE || frame->sample_rate <= 0)
            continue;
        const double start = static_cast<double>(frame->best_effort_timestamp) * decoder->secondsPerTick();
        // Held in double before the cast: a damaged timestamp must not overflow the int64.
        const double ticks = (start + static_cast<double>(frame->nb_samples) / frame->sample_rate) * 1e7;
        if (!(ticks > -9.0e18 && ticks < 9.0e18))
            continue;
        const auto frameEnd = static_cast<int64_t>(ticks);
        end = frameEnd > end ? frameEnd : end;
    }
    int64_t allowed = static_cast<int64_t>(static_cast<double>(duration) * kShortfallShare);
    allowed = allowed < kLeastShortfallTicks ? kLeastShortfallTicks : allowed;
    return end >= duration - allowed;
}

}

int ExamineAudioFile(const char* path, SorvakAudioFileReport* report)
{
    if (!report)
        return SORVAK_AUDIO_FILE_UNREADABLE;
    std::memset(report, 0, sizeof *report);
    if (!path || !*path)
        return verdict(report, SORVAK_AUDIO_FILE_UNREADABLE);
    if (!sorvak::MediaFileInput::open(path))
        return verdict(report, SORVAK_AUDIO_FILE_UNREADABLE);
    int score = 0;
    if (!probeFormat(path, report, score))
        return verdict(report, SORVAK_AUDIO_FILE_UNKNOWN);
    // Formats outside the audio containers (AVI, MPEG-TS, playlists, ...) are never opened.
    if (!sorvak::isAudioContainer(report->demuxer))
        return verdict(report, SORVAK_AUDIO_FILE_OTHER_FORMAT);
    std::unique_ptr<sorvak::MediaContainer> container = sorvak::MediaContainer::open(path);
    if (!container)
        return verdict(report, SORVAK_AUDIO_FILE_DAMAGED);
    if (holdsVideo(*container->context()))
        return verdict(report, SORVAK_AUDIO_FILE_VIDEO);
    // A file taken for an audio format by its name alone (a text named .flac) that then holds no
    // audio is no file of that format at all.
    if (container->audioStream() < 0)
        return verdict(report, score > AVPROBE_SCORE_EXTENSION ? SORVAK_AUDIO_FILE_NO_AUDIO : SORVAK_AUDIO_FILE_UNKNOWN);
    const AVCodecParameters* audio = container->context()->streams[container->audioStream()]->codecpar;
    report->sampleRate = audio->sample_rate;
    report->channels = audio->ch_layout.nb_channels;
    report->duration = container->duration();
    copyText(report->codec, sizeof report->codec, avcodec_get_name(audio->codec_id));
    container.reset();

    std::unique_ptr<sorvak::MediaDecoder> decoder = sorvak::MediaDecoder::openFrames(path);
    const AVFrame* first = decoder ? decoder->nextFrame() : nullptr;
    if (!first)
        return verdict(report, SORVAK_AUDIO_FILE_DAMAGED);
    report->sampleRate = first->sample_rate;
    report->channels = first->ch_layout.nb_channels;
    if (report->sampleRate < kLowestRate || report->sampleRate > kHighestRate)
        return verdict(report, SORVAK_AUDIO_FILE_RATE);
    decoder.reset();
    if (!reachesStatedLength(path))
        return verdict(report, SORVAK_AUDIO_FILE_CUT_OFF);
    return verdict(report, SORVAK_AUDIO_FILE_AUDIO);
}
