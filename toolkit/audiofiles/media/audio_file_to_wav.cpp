// AudioFileToWAV: any audio file the media layer reads (WAV of any PCM format, FLAC, Ogg Vorbis,
// Opus, MP3, AAC/M4A, WMA, ...) to a 44100 Hz, 16-bit stereo WAV file. Decoded at the file's own
// rate and word length, mixed down to stereo (stereo_mixdown.h), dithered to 16 bits when bits
// are lost and brought to 44100 Hz by the polyphase converter at its best filter
// (take_rate_stream.h). The rate chain of ReadWMA (which WMA2WAV uses) is not involved.

#include "audiofiles/media/media_decoder.h"
#include "audiofiles/media/stereo_mixdown.h"
#include "audiofiles/media/take_rate_stream.h"
#include "audiofiles/wav_header.h"
#include "sorvak.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kFailed = -1;
// Frames gathered before they go through the converter and to the file: fewer, larger writes.
constexpr std::size_t kGatheredFrames = 16384;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

class Conversion {
public:
    Conversion(sorvak::MediaDecoder& decoder, std::FILE* output, SorvakProgressFunction progress)
        : m_decoder(decoder)
        , m_output(output)
        , m_progress(progress)
    {
    }

    // False when the audio cannot be converted or written; a cancel is no failure.
    bool run()
    {
        while (const AVFrame* frame = m_decoder.nextFrame()) {
            if (!m_stream && !start(*frame))
                return false;
            // A stream whose rate changes midway (a chained Ogg file) is not one the take can hold.
            if (frame->sample_rate != m_stream->inputRate() || !m_mixdown.append(*frame, m_gathered))
                return false;
            if (keepStatedLength(*frame))
                break;
            if (m_gathered.size() >= 2 * kGatheredFrames && !flush())
                return false;
            if (reportProgress(*frame))
                return true;
        }
        if (!m_stream)
            return false;
        if (!flush())
            return false;
        m_stream->finish(m_samples);
        return writeSamples();
    }

private:
    bool start(const AVFrame& frame)
    {
        m_stream = sorvak::TakeRateStream::create(frame.sample_rate, !sorvak::StereoMixdown::keepsWordLength(frame));
        return m_stream != nullptr;
    }

    // A codec's padding behind the last frame (AAC fills its last frame of 1024) is no part of
    // the audio when the file states its length: frames past it are dropped. True at the end.
    bool keepStatedLength(const AVFrame& frame)
    {
        m_inputFrames += static_cast<uint64_t>(frame.nb_samples);
        const int64_t duration = m_decoder.duration();
        if (duration <= 0 || !m_decoder.durationIsStated())
            return false;
        const auto stated = static_cast<uint64_t>(
            std::ceil(static_cast<double>(duration) * frame.sample_rate / 10000000.0));
        if (m_inputFrames <= stated)
            return false;
        const uint64_t excess = std::min<uint64_t>(m_inputFrames - stated, m_gathered.size() / 2);
        m_gathered.resize(m_gathered.size() - 2 * excess);
        return true;
    }

    bool flush()
    {
        m_stream->write(m_gathered.data(), m_gathered.size() / 2, m_samples);
        m_gathered.clear();
        return writeSamples();
    }

    bool writeSamples()
    {
        const std::size_t count = m_samples.size();
        const bool written = std::fwrite(m_samples.data(), sizeof(int16_t), count, m_output) == count;
        m_samples.clear();
        return written;
    }

    // Reports a percentage when it changes; true when the caller cancels.
    bool reportProgress(const AVFrame& frame)
    {
        const int64_t duration = m_decoder.duration();
        if (!m_progress || duration <= 0 || frame.best_effort_timestamp == AV_NOPTS_VALUE)
            return false;
        const double seconds = static_cast<double>(frame.best_effort_timestamp) * m_decoder.secondsPerTick();
        // Held in double before the cast: a damaged timestamp must not overflow the int.
        const int percent = static_cast<int>(
            std::clamp(100.0 * seconds * 10000000.0 / static_cast<double>(duration), 0.0, 100.0));
        if (percent == m_reported)
            return false;
        m_reported = percent;
        return m_progress(percent) != 0;
    }

    sorvak::MediaDecoder& m_decoder;
    std::FILE* m_output;
    SorvakProgressFunction m_progress;
    sorvak::StereoMixdown m_mixdown;
    std::unique_ptr<sorvak::TakeRateStream> m_stream;
    std::vector<float> m_gathered;
    std::vector<int16_t> m_samples;
    int m_reported = -1;
    uint64_t m_inputFrames = 0;
};

}

int AudioFileToWAV(const char* source, const char* destination, SorvakProgressFunction progress)
{
    if (!source || !destination)
        return kFailed;
    if (progress)
        progress(-1);
    std::unique_ptr<sorvak::MediaDecoder> decoder = sorvak::MediaDecoder::openFrames(source);
    if (!decoder)
        return kFailed;
    std::unique_ptr<std::FILE, FileCloser> output(std::fopen(destination, "wb"));
    if (!output)
        return kFailed;
    bool written = sorvak::writeWavHeaderTemplate(output.get());
    written = written && Conversion(*decoder, output.get(), progress).run();
    const bool closed = std::fclose(output.release()) == 0;
    const bool finalised = closed && sorvak::finaliseWavHeader(destination);
    if (!(written && closed && finalised)) {
        std::remove(destination);
        return kFailed;
    }
    return 0;
}
