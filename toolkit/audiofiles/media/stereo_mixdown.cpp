#include "audiofiles/media/stereo_mixdown.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace sorvak {

namespace {

constexpr float kMinus3dB = 0.70710678f;
constexpr float kMinus6dB = 0.5f;

// One channel of the frame converted to floats, offset and scaled to full scale 1.0.
template <typename Sample>
void convertChannel(const AVFrame& frame, int channel, bool planar, float scale, float offset, float* out)
{
    const int channels = frame.ch_layout.nb_channels;
    const auto* data = reinterpret_cast<const Sample*>(planar ? frame.extended_data[channel] : frame.extended_data[0]);
    const int step = planar ? 1 : channels;
    const int first = planar ? 0 : channel;
    for (int index = 0; index < frame.nb_samples; ++index)
        out[index] = (static_cast<float>(data[first + index * step]) + offset) * scale;
}

bool channelAsFloats(const AVFrame& frame, int channel, float* out)
{
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        convertChannel<uint8_t>(frame, channel, planar, 1.0f / 128.0f, -128.0f, out);
        return true;
    case AV_SAMPLE_FMT_S16:
        convertChannel<int16_t>(frame, channel, planar, 1.0f / 32768.0f, 0.0f, out);
        return true;
    case AV_SAMPLE_FMT_S32:
        convertChannel<int32_t>(frame, channel, planar, 1.0f / 2147483648.0f, 0.0f, out);
        return true;
    case AV_SAMPLE_FMT_S64:
        convertChannel<int64_t>(frame, channel, planar, 1.0f / 9223372036854775808.0f, 0.0f, out);
        return true;
    case AV_SAMPLE_FMT_FLT:
        convertChannel<float>(frame, channel, planar, 1.0f, 0.0f, out);
        return true;
    case AV_SAMPLE_FMT_DBL:
        convertChannel<double>(frame, channel, planar, 1.0f, 0.0f, out);
        return true;
    default:
        return false;
    }
}

}

bool StereoMixdown::keepsWordLength(const AVFrame& frame)
{
    const AVSampleFormat packed = av_get_packed_sample_fmt(static_cast<AVSampleFormat>(frame.format));
    return (packed == AV_SAMPLE_FMT_U8 || packed == AV_SAMPLE_FMT_S16) && frame.ch_layout.nb_channels <= 2;
}

void StereoMixdown::channelShares(const AVChannelLayout& layout, int channel, float& left, float& right)
{
    left = 0.0f;
    right = 0.0f;
    switch (av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(channel))) {
    case AV_CHAN_FRONT_LEFT: case AV_CHAN_FRONT_LEFT_OF_CENTER: case AV_CHAN_WIDE_LEFT:
    case AV_CHAN_STEREO_LEFT:
        left = 1.0f;
        break;
    case AV_CHAN_FRONT_RIGHT: case AV_CHAN_FRONT_RIGHT_OF_CENTER: case AV_CHAN_WIDE_RIGHT:
    case AV_CHAN_STEREO_RIGHT:
        right = 1.0f;
        break;
    case AV_CHAN_FRONT_CENTER:
        left = right = kMinus3dB;
        break;
    case AV_CHAN_SIDE_LEFT: case AV_CHAN_BACK_LEFT: case AV_CHAN_SURROUND_DIRECT_LEFT: case AV_CHAN_TOP_FRONT_LEFT:
    case AV_CHAN_TOP_BACK_LEFT:
        left = kMinus3dB;
        break;
    case AV_CHAN_SIDE_RIGHT: case AV_CHAN_BACK_RIGHT: case AV_CHAN_SURROUND_DIRECT_RIGHT:
    case AV_CHAN_TOP_FRONT_RIGHT: case AV_CHAN_TOP_BACK_RIGHT:
        right = kMinus3dB;
        break;
    case AV_CHAN_LOW_FREQUENCY: case AV_CHAN_LOW_FREQUENCY_2:
        break;
    default:  // back, top and other centres, and channels the layout does not name
        left = right = kMinus6dB;
        break;
    }
}

void StereoMixdown::prepare(const AVFrame& frame)
{
    const int channels = frame.ch_layout.nb_channels;
    if (channels == m_channels)
        return;
    m_channels = channels;
    m_left.assign(static_cast<std::size_t>(channels), 0.0f);
    m_right.assign(static_cast<std::size_t>(channels), 0.0f);
    if (channels == 1) {
        m_left[0] = m_right[0] = 1.0f;
        return;
    }
    if (channels == 2) {
        m_left[0] = m_right[1] = 1.0f;
        return;
    }
    AVChannelLayout layout {};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_copy(&layout, &frame.ch_layout) < 0)
        av_channel_layout_default(&layout, channels);
    float leftSum = 0.0f;
    float rightSum = 0.0f;
    for (int channel = 0; channel < channels; ++channel) {
        channelShares(layout, channel, m_left[static_cast<std::size_t>(channel)], m_right[static_cast<std::size_t>(channel)]);
        leftSum += m_left[static_cast<std::size_t>(channel)];
        rightSum += m_right[static_cast<std::size_t>(channel)];
    }
    av_channel_layout_uninit(&layout);
    const float largest = std::max(leftSum, rightSum);
    if (largest > 0.0f) {
        for (int channel = 0; channel < channels; ++channel) {
            m_left[static_cast<std::size_t>(channel)] /= largest;
            m_right[static_cast<std::size_t>(channel)] /= largest;
        }
    }
}

bool StereoMixdown::append(const AVFrame& frame, std::vector<float>& stereo)
{
    const int channels = frame.ch_layout.nb_channels;
    const auto frames = static_cast<std::size_t>(frame.nb_samples);
    if (channels <= 0)
        return false;
    prepare(frame);
    const std::size_t start = stereo.size();
    stereo.resize(start + 2 * frames, 0.0f);
    m_channel.resize(frames);
    float* out = stereo.data() + start;
    for (int channel = 0; channel < channels; ++channel) {
        if (!channelAsFloats(frame, channel, m_channel.data()))
            return false;
        const float left = m_left[static_cast<std::size_t>(channel)];
        const float right = m_right[static_cast<std::size_t>(channel)];
        if (left == 0.0f && right == 0.0f)
            continue;
        for (std::size_t index = 0; index < frames; ++index) {
            out[2 * index] += left * m_channel[index];
            out[2 * index + 1] += right * m_channel[index];
        }
    }
    return true;
}

}
