// Plays a 1 kHz tone through the toolkit's player and the real PortAudio path into a private
// PulseAudio null sink, records the sink's monitor through the wave-in, and checks that the tone
// came back whole: every frame as played and in order, its frequency, no phase jump, and no
// overrun or underrun on either side.

#include "platform/audio/audio_test_support.h"
#include "platform/audio/private_pulse_server.h"
#include "player/wave_out_player.h"
#include "support/temporary_folder.h"
#include "wave_device.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr int kBufferBytes = 8192;
constexpr int kBufferFrames = kBufferBytes / 4;
constexpr double kToneHertz = 1000.0;
constexpr double kAmplitude = 16000.0;

std::atomic<int> toneFills{0};
uint64_t toneFrame = 0; // player worker only

int16_t toneSample(uint64_t frame)
{
    double phase = std::fmod(static_cast<double>(frame) * 2.0 * std::numbers::pi * kToneHertz / 44100.0, 2.0 * std::numbers::pi);
    return static_cast<int16_t>(std::lround(kAmplitude * std::sin(phase)));
}

void toneFill(void* buffer)
{
    auto* samples = static_cast<int16_t*>(buffer);
    for (int frame = 0; frame < kBufferFrames; ++frame, ++toneFrame) {
        samples[2 * frame] = toneSample(toneFrame);
        samples[2 * frame + 1] = samples[2 * frame];
    }
    ++toneFills;
}

std::vector<int16_t> leftChannel(const std::string& bytes)
{
    std::vector<int16_t> left(bytes.size() / 4);
    for (size_t frame = 0; frame < left.size(); ++frame)
        left[frame] = static_cast<int16_t>(static_cast<uint8_t>(bytes[frame * 4]) | static_cast<uint8_t>(bytes[frame * 4 + 1]) << 8);
    return left;
}

}

TEST(PortAudioLoopback, AToneThroughTheNullSinkComesBackWhole)
{
    wavelark::testing::TemporaryFolder folder;
    wavelark::testing::PrivatePulseServer server;
    std::string error;
    ASSERT_TRUE(server.start(folder.path(), error)) << error;
    wavelark::testing::AudioSetting setting("portaudio");
    ASSERT_GE(wavelark::audio::inputDeviceCount(), 1);
    ASSERT_GE(wavelark::audio::outputDeviceCount(), 1);

    std::string recorded;
    recorded.reserve(10 * 176400);
    std::array<std::array<uint8_t, kBufferBytes>, 8> blocks{};
    std::array<wavelark::audio::WaveBuffer, 8> headers{};
    std::atomic<bool> requeue{true};
    std::unique_ptr<wavelark::audio::WaveIn> waveIn;
    waveIn = wavelark::audio::openWaveIn(wavelark::audio::kDefaultDevice, 44100, [&](wavelark::audio::WaveBuffer& buffer) {
        recorded.append(reinterpret_cast<const char*>(buffer.data), buffer.bytesRecorded);
        if (requeue)
            waveIn->addBuffer(&buffer);
    }, &error);
    ASSERT_NE(waveIn, nullptr) << error;
    for (size_t index = 0; index < headers.size(); ++index) {
        headers[index] = {blocks[index].data(), kBufferBytes, 0, nullptr};
        ASSERT_TRUE(waveIn->addBuffer(&headers[index]));
    }
    ASSERT_TRUE(waveIn->start());
    std::this_thread::sleep_for(300ms);

    void* player = CreateWaveOut(44100, kBufferBytes, 8, -1, toneFill, nullptr);
    ASSERT_NE(player, nullptr);
    std::this_thread::sleep_for(3s);
    wavelark::audio::XrunCounts playerCounts = sorvak::player::playerXrunCounts();
    CreateWaveOut(0, 0, 0, 0, nullptr, player);
    // The sound server's own latency: the tail of the tone is still on its way to the monitor.
    std::this_thread::sleep_for(1s);
    requeue = false;
    waveIn->reset();
    wavelark::audio::XrunCounts recorderCounts = waveIn->xrunCounts();
    waveIn->close();

    EXPECT_EQ(playerCounts.total(), 0u);
    EXPECT_EQ(recorderCounts.total(), 0u);

    std::vector<int16_t> left = leftChannel(recorded);
    auto loud = [](int16_t sample) { return std::abs(static_cast<int>(sample)) > 64; };
    auto first = std::find_if(left.begin(), left.end(), loud);
    ASSERT_NE(first, left.end()) << "no tone was recorded";
    // The tone starts with a sample of 0 just before the first loud one.
    size_t toneStart = static_cast<size_t>(first - left.begin()) - 1;
    size_t playedFrames = static_cast<size_t>(toneFills.load()) * kBufferFrames;
    ASSERT_LE(toneStart + playedFrames, left.size()) << "the end of the tone was not recorded";
    size_t toneEnd = toneStart + playedFrames;
    // The sink and its monitor carry the samples unchanged, so every frame played comes back as
    // it was, in order: one lost or repeated frame shifts all that follow.
    size_t firstDifferent = toneEnd;
    for (size_t frame = toneStart; frame < toneEnd; ++frame) {
        if (std::abs(left[frame] - toneSample(frame - toneStart)) > 1) {
            firstDifferent = frame;
            break;
        }
    }
    EXPECT_EQ(firstDifferent - toneStart, playedFrames) << "the recorded tone departs from the played one here";
    EXPECT_TRUE(std::none_of(left.begin() + static_cast<std::ptrdiff_t>(toneEnd), left.end(), loud))
        << "more tone came back than was played";

    // Rising zero crossings, found to a fraction of a frame, are 44.1 frames apart throughout.
    std::vector<double> crossings;
    for (size_t frame = toneStart + 1; frame + 1 < toneEnd; ++frame) {
        if (left[frame] < 0 && left[frame + 1] >= 0)
            crossings.push_back(frame + static_cast<double>(-left[frame]) / (left[frame + 1] - left[frame]));
    }
    ASSERT_GT(crossings.size(), 1000u);
    double largestJump = 0.0;
    for (size_t index = 1; index < crossings.size(); ++index)
        largestJump = std::max(largestJump, std::abs(crossings[index] - crossings[index - 1] - 44100.0 / kToneHertz));
    EXPECT_LT(largestJump, 0.2) << "a phase jump in the recorded tone";
    double measuredHertz = 44100.0 * (crossings.size() - 1) / (crossings.back() - crossings.front());
    EXPECT_NEAR(measuredHertz, kToneHertz, 0.5);
}
