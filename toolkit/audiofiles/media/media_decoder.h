// Decodes the audio of any file FFmpeg reads (WMA, MP3, WAV, FLAC, Ogg, ...) into blocks of
// interleaved 16-bit PCM at the file's own sample rate: one block per decoded frame. Mono stays
// mono; more than two channels are mixed down to stereo, which the toolkit's buffer resampler
// takes. The rate is never changed here.
#pragma once

#include "sorvak.h"

#include <cstdint>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace sorvak {

class MediaContainer;

struct DecodedBlock {
    std::vector<uint8_t> samples;  // interleaved 16-bit little-endian
    WAVEFORMATEX format {};        // PCM, the file's rate, 1 or 2 channels, 16 bits
    int64_t time = 0;              // start of the block in 100-ns units from the file's start
};

class MediaDecoder {
public:
    // Opens the file and decodes its first block, so that a file without decodable audio is
    // refused here. Null when the file cannot be read or holds no audio that decodes.
    static std::unique_ptr<MediaDecoder> open(const char* path);
    ~MediaDecoder();
    MediaDecoder(const MediaDecoder&) = delete;
    MediaDecoder& operator=(const MediaDecoder&) = delete;

    // Opens the file for nextFrame only: nothing is decoded yet, nothing converted later. Null
    // when the file cannot be read or holds no audio stream with a decoder.
    static std::unique_ptr<MediaDecoder> openFrames(const char* path);
    // The next frame as the codec decoded it (its own sample format, rate and channel layout);
    // null at the end of the audio or on an error that ends it. Valid until the next call. Not to
    // be mixed with nextBlock.
    const AVFrame* nextFrame();

    // Length of the file in 100-ns units (0 when unknown).
    int64_t duration() const;
    // Whether the container's length was read from the file's own headers or time stamps rather
    // than estimated from its bit rate (an estimate can be far off for variable bit rates).
    bool durationIsStated() const;
    // The audio stream's time base as a fraction of a second, for the time stamps of frames.
    double secondsPerTick() const;
    // The format of the first block.
    const WAVEFORMATEX& format() const { return m_format; }

    // The next block in order; false at the end of the audio or on an error that ends it.
    // Packets that fail to decode are skipped.
    bool nextBlock(DecodedBlock& block);

    // Continues from the given time (100-ns units, from the file's start): samples before it
    // are dropped. Returns false, leaving the position unchanged, when the file cannot seek.
    bool seek(int64_t time);

private:
    MediaDecoder();
    bool openCodec(const char* path);
    bool receiveFrame();
    bool convertFrame(DecodedBlock& block);
    bool configureConverter();

    std::unique_ptr<MediaContainer> m_container;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_converter = nullptr;
    int m_converterFormat = -1;
    int m_converterRate = 0;
    int m_converterChannels = 0;
    WAVEFORMATEX m_format {};
    int64_t m_streamStart = 0;     // first time stamp of the stream, in its time base
    int64_t m_nextTime = 0;        // 100-ns: where a block without a time stamp starts
    int64_t m_discardBefore = 0;   // 100-ns: samples before this time are dropped (after a seek)
    bool m_draining = false;
    bool m_hasPending = false;     // the first block, decoded by open()
    DecodedBlock m_pending;
};

}
