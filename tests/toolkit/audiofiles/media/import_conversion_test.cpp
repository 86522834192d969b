// The import conversion's parts: the stereo mixdown's coefficients and normalisation on frames
// built here, and the take-rate stream's length, delay and block-size independence.

#include "audiofiles/media/stereo_mixdown.h"
#include "audiofiles/media/take_rate_stream.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr float kMinus3dB = 0.70710678f;

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePointer = std::unique_ptr<AVFrame, FrameDeleter>;

// A planar float frame of one sample per channel, holding the given values.
FramePointer planarFrame(const AVChannelLayout& layout, const std::vector<float>& values)
{
    FramePointer frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->nb_samples = 1;
    frame->sample_rate = 48000;
    EXPECT_EQ(av_channel_layout_copy(&frame->ch_layout, &layout), 0);
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    for (std::size_t channel = 0; channel < values.size(); ++channel)
        reinterpret_cast<float*>(frame->extended_data[channel])[0] = values[channel];
    return frame;
}

struct MixdownRow {
    const char* name;
    std::vector<float> surround;  // FL FR FC LFE BL BR
    float left;
    float right;
};

class SurroundMixdown : public ::testing::TestWithParam<MixdownRow> {};

TEST_P(SurroundMixdown, FollowsTheItuCoefficientsNormalisedSoNothingClips)
{
    const AVChannelLayout layout = AV_CHANNEL_LAYOUT_5POINT1_BACK;
    const FramePointer frame = planarFrame(layout, GetParam().surround);
    sorvak::StereoMixdown mixdown;
    std::vector<float> stereo;
    ASSERT_TRUE(mixdown.append(*frame, stereo));
    ASSERT_EQ(stereo.size(), 2u);
    EXPECT_NEAR(stereo[0], GetParam().left, 1e-6);
    EXPECT_NEAR(stereo[1], GetParam().right, 1e-6);
}

// Each side sums front 1 + centre 0.7071 + its surround 0.7071 = 2.4142 at most.
constexpr float kSide = 1.0f + 2.0f * kMinus3dB;

INSTANTIATE_TEST_SUITE_P(
    Channels, SurroundMixdown,
    ::testing::Values(MixdownRow{"FrontLeft", {1, 0, 0, 0, 0, 0}, 1.0f / kSide, 0.0f},
                      MixdownRow{"Centre", {0, 0, 1, 0, 0, 0}, kMinus3dB / kSide, kMinus3dB / kSide},
                      MixdownRow{"LfeDropped", {0, 0, 0, 1, 0, 0}, 0.0f, 0.0f},
                      MixdownRow{"BackRight", {0, 0, 0, 0, 0, 1}, 0.0f, kMinus3dB / kSide},
                      MixdownRow{"AllAtFullScaleJustReachIt", {1, 1, 1, 1, 1, 1}, 1.0f, 1.0f},
                      MixdownRow{"AllAtNegativeFullScale", {-1, -1, -1, -1, -1, -1}, -1.0f, -1.0f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StereoMixdown, MonoGoesToBothSidesAndStereoStays)
{
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    const AVChannelLayout stereoLayout = AV_CHANNEL_LAYOUT_STEREO;
    sorvak::StereoMixdown mixdown;
    std::vector<float> stereo;
    ASSERT_TRUE(mixdown.append(*planarFrame(mono, {0.25f}), stereo));
    ASSERT_TRUE(mixdown.append(*planarFrame(stereoLayout, {0.5f, -0.75f}), stereo));
    EXPECT_EQ(stereo, (std::vector<float>{0.25f, 0.25f, 0.5f, -0.75f}));
}

TEST(StereoMixdown, OnlyEightAndSixteenBitMonoOrStereoKeepTheirWordLength)
{
    struct Row {
        AVSampleFormat format;
        int channels;
        bool keeps;
    };
    for (const Row& row : {Row{AV_SAMPLE_FMT_U8, 1, true}, Row{AV_SAMPLE_FMT_S16, 2, true}, Row{AV_SAMPLE_FMT_S16P, 2, true},
                           Row{AV_SAMPLE_FMT_S16, 6, false}, Row{AV_SAMPLE_FMT_S32, 2, false},
                           Row{AV_SAMPLE_FMT_FLTP, 2, false}, Row{AV_SAMPLE_FMT_DBL, 1, false}}) {
        FramePointer frame(av_frame_alloc());
        frame->format = row.format;
        av_channel_layout_default(&frame->ch_layout, row.channels);
        EXPECT_EQ(sorvak::StereoMixdown::keepsWordLength(*frame), row.keeps)
            << av_get_sample_fmt_name(row.format) << " x " << row.channels;
    }
}

// A 48 kHz tone through the stream in blocks of the given size.
std::vector<int16_t> convertedTone(std::size_t block, std::size_t frames)
{
    std::vector<float> tone(2 * frames);
    for (std::size_t frame = 0; frame < frames; ++frame)
        tone[2 * frame] = tone[2 * frame + 1] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 1000.0 * frame / 48000.0));
    std::unique_ptr<sorvak::TakeRateStream> stream = sorvak::TakeRateStream::create(48000, false);
    std::vector<int16_t> output;
    for (std::size_t start = 0; start < frames; start += block)
        stream->write(tone.data() + 2 * start, std::min(block, frames - start), output);
    stream->finish(output);
    return output;
}

TEST(TakeRateStream, HoldsTheSourceLengthAtTheTakeRateWhateverTheBlocks)
{
    const std::vector<int16_t> whole = convertedTone(48000, 48000);
    EXPECT_EQ(whole.size(), 2u * 44100);
    EXPECT_EQ(convertedTone(1000, 48000), whole);
    EXPECT_EQ(convertedTone(7, 48000), whole);
}

TEST(TakeRateStream, TakesTheConvertersDelayOut)
{
    const std::vector<int16_t> output = convertedTone(48000, 48000);
    // The tone's phase at output frame k is that of the source at k / 44100 s: compare mid-way.
    double error = 0.0;
    for (std::size_t frame = 10000; frame < 30000; ++frame)
        error = std::max(error, std::fabs(output[2 * frame] - 16384.0 * std::sin(2 * M_PI * 1000.0 * frame / 44100.0)));
    EXPECT_LT(error, 0.5 * 16384.0 * 2 * M_PI * 1000.0 / 44100.0);  // within half a frame's change
}

}

namespace {

// A constant a quarter of a 16-bit step above 0, 100000 frames of it through the stream.
std::vector<int16_t> quarterStep(bool dither)
{
    const std::vector<float> constant(2 * 100000, 0.25f / 32768.0f);
    std::unique_ptr<sorvak::TakeRateStream> stream = sorvak::TakeRateStream::create(44100, dither);
    std::vector<int16_t> output;
    stream->write(constant.data(), constant.size() / 2, output);
    stream->finish(output);
    return output;
}

}

TEST(TakeRateStream, DitherKeepsWhatLiesBelowTheLastBitOnAverage)
{
    const std::vector<int16_t> dithered = quarterStep(true);
    ASSERT_EQ(dithered.size(), 2u * 100000);
    double sum = 0.0;
    for (const int16_t sample : dithered) {
        EXPECT_GE(sample, -1);
        EXPECT_LE(sample, 1);
        sum += sample;
    }
    EXPECT_NEAR(sum / dithered.size(), 0.25, 0.01);

    // Without dither the quarter step is rounded away.
    for (const int16_t sample : quarterStep(false))
        ASSERT_EQ(sample, 0);
}

// A damaged float file's NaN and infinite samples: silence and full scale, never a wrapped value.
TEST(TakeRateStream, NotANumberIsSilenceAndInfinityFullScale)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const std::vector<float> samples = {nan, nan, infinity, -infinity, 0.5f, -0.5f};
    std::unique_ptr<sorvak::TakeRateStream> stream = sorvak::TakeRateStream::create(44100, false);
    std::vector<int16_t> output;
    stream->write(samples.data(), samples.size() / 2, output);
    stream->finish(output);
    const std::vector<int16_t> expected = {0, 0, 32767, -32768, 16384, -16384};
    EXPECT_EQ(output, expected);
}
