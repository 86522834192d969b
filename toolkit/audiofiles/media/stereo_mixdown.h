// A decoded frame, in whatever sample format and channel layout its codec gives, as interleaved
// stereo floats (full scale 1.0).
//
// Mono goes to both sides unchanged; stereo stays as it is. More channels are mixed down with the
// usual ITU coefficients: the front left and right (and the other channels on a side: wide,
// front-of-centre) at 1, the centre at -3 dB to both sides, the surround and back channels of a
// side at -3 dB to that side, the back and top centres at -6 dB to both sides; the LFE is
// dropped. The coefficients are then normalised so that each side's sum is at most 1: a mixdown
// never clips, whatever the channels hold, and the import's maximise brings the level back up.
#pragma once

#include <vector>

struct AVChannelLayout;
struct AVFrame;

namespace sorvak {

class StereoMixdown {
public:
    // Whether the frame's samples and channels come out as they were: 8- or 16-bit integers in
    // one or two channels. Anything else gains bits on the way and needs dither to 16 bits.
    static bool keepsWordLength(const AVFrame& frame);

    // Appends the frame's samples as stereo frames to `stereo`; false for a sample format that
    // is not PCM (never given by FFmpeg's decoders).
    bool append(const AVFrame& frame, std::vector<float>& stereo);

    // The coefficients of one channel of a layout: its share of the left and of the right side,
    // before the normalisation.
    static void channelShares(const AVChannelLayout& layout, int channel, float& left, float& right);

private:
    void prepare(const AVFrame& frame);

    int m_channels = 0;
    std::vector<float> m_left;   // per channel, normalised
    std::vector<float> m_right;
    std::vector<float> m_channel;  // one channel of the frame as floats
};

}
