// Stereo float frames at any rate in, 44100 Hz 16-bit stereo frames out: TPDF dither when the
// word length drops, then the polyphase converter at its best filter (type 3) when the rate is
// not 44100 Hz. The converter's delay is taken out: output frame k stands at input time
// k x rate / 44100, and the stream ends after round(input frames x 44100 / rate) frames.
// One thread at a time; allocates as blocks grow.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct PolyphaseConverter;

namespace sorvak {

class TakeRateStream {
public:
    // Null when the converter cannot be built for the rate.
    static std::unique_ptr<TakeRateStream> create(int inputRate, bool dither);
    ~TakeRateStream();
    TakeRateStream(const TakeRateStream&) = delete;
    TakeRateStream& operator=(const TakeRateStream&) = delete;

    // Converts interleaved stereo frames (full scale 1.0); the 16-bit frames ready so far are
    // appended to `output`.
    void write(const float* stereo, std::size_t frames, std::vector<int16_t>& output);
    // Flushes the converter's history: the last frames are appended to `output`.
    void finish(std::vector<int16_t>& output);

    int inputRate() const { return m_inputRate; }

private:
    TakeRateStream(int inputRate, bool dither, PolyphaseConverter* converter);
    void quantise(const float* stereo, std::size_t frames);
    void convert(std::vector<int16_t>& output);

    int m_inputRate;
    bool m_dither;
    PolyphaseConverter* m_converter;  // owned; null at 44100 Hz
    uint32_t m_noiseState = 0x9E3779B9u;  // xorshift state, never 0
    std::vector<float> m_noise;           // the dither of one block, in steps
    std::vector<int16_t> m_quantised;
    std::vector<int16_t> m_converted;
    uint64_t m_inputFrames = 0;
    uint64_t m_outputFrames = 0;   // frames handed out
    uint64_t m_delayFrames = 0;    // converter output frames still to drop at the start
};

}
