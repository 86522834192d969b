#include "take/fade_pass.h"

#include "take/pcm_wav.h"
#include "take/sample_kernel.h"

#include "core/take_format.h"
#include "core/toolkit_binding.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace wavelark {

namespace {

// The fade state machine over the frames of the temporary file, block after block. Frames on a
// ramp go one at a time through the toolkit's curve; runs whose fade parameter stands still
// (waiting for the fall, or no fade) are scaled in bulk with the gain of that parameter.
class FadeRewriter {
public:
    FadeRewriter(SaveRange range, const FadeSettings& fades, double maximiseGain)
        : m_maximiseGain(maximiseGain)
        , m_position(range.start)
    {
        const bool fadeIn = fades.fadeInOn && fades.fadeInMilliseconds > 0;
        m_fadeOut = fades.fadeOutOn && fades.fadeOutMilliseconds > 0;
        // Milliseconds times frames per millisecond, in floating point.
        const double fadeInFrames = fades.fadeInMilliseconds * 44.1;
        const double fadeOutFrames = fades.fadeOutMilliseconds * 44.1;
        m_riseEnd = static_cast<double>(range.start) + 4 * fadeInFrames;
        m_fallStart = static_cast<double>(range.end) - 4 * fadeOutFrames;
        m_fallStep = 1 / fadeOutFrames;
        if (fadeIn) {
            m_parameter = 0.0;
            m_phase = Phase::Rising;
            m_riseStep = 1 / fadeInFrames;
        } else {
            m_parameter = 1.0;
            m_phase = m_fadeOut ? Phase::Waiting : Phase::None;
        }
    }

    void operator()(int16_t* samples, std::size_t count)
    {
        const std::size_t frames = count / 2;
        std::size_t frame = 0;
        while (frame < frames) {
            if (m_phase == Phase::Rising || m_phase == Phase::Falling) {
                fadeFrame(samples + 2 * frame);
                ++frame;
                continue;
            }
            const std::size_t run = std::min(frames - frame, steadyFrames());
            scaleSamples(samples + 2 * frame, 2 * run, fadeGain(), m_maximiseGain);
            frame += run;
            m_position += 4 * run;
            startFallingWhenDue();
        }
    }

private:
    enum class Phase { Rising, Waiting, Falling, None };

    // g = lin2log(t, 1.0, 1), 1 - cos(90° × t); the last one is kept for the frames that follow
    // while t stands still. At t = 1 (no fade-in, and the first frame of a fall) the curve is full
    // level: the toolkit's cosine leaves it at 0.9999999999999998 there, which would take one step
    // off every sample of a save without fades, so full level is exactly 1. A rise that overshoots
    // 1 keeps the toolkit's value, as the rest of the take is scaled by the t it ended on.
    double fadeGain()
    {
        if (!m_gainKnown || m_gainParameter != m_parameter) {
            m_gain = m_parameter == 1.0 ? 1.0 : g_toolkit.lin2log(m_parameter, 1.0, 1);
            m_gainParameter = m_parameter;
            m_gainKnown = true;
        }
        return m_gain;
    }

    void fadeFrame(int16_t* frame)
    {
        // The gain comes from t before this frame's update.
        const double gain = fadeGain();
        const double left = gain * frame[0] * m_maximiseGain;
        const double right = gain * frame[1] * m_maximiseGain;
        if (m_phase == Phase::Rising) {
            if (m_riseEnd < static_cast<double>(m_position))
                m_phase = Phase::Waiting;
            m_parameter += m_riseStep;
        } else if (m_phase == Phase::Falling) {
            m_parameter -= m_fallStep;
            if (m_parameter < 0.0)
                m_parameter = 0.0;
        }
        frame[0] = clampedSample(left);
        frame[1] = clampedSample(right);
        m_position += 4;
        startFallingWhenDue();
    }

    void startFallingWhenDue()
    {
        if (m_phase == Phase::Waiting && m_fadeOut && static_cast<double>(m_position) > m_fallStart)
            m_phase = Phase::Falling;
    }

    // How many frames from here on keep the present steady phase: all of them without a fade-out
    // to wait for, else up to and including the frame after which the position passes the start
    // of the fall.
    std::size_t steadyFrames() const
    {
        if (m_phase == Phase::None || !m_fadeOut)
            return std::numeric_limits<std::size_t>::max();
        auto passes = [&](uint64_t frames) { return static_cast<double>(m_position + 4 * frames) > m_fallStart; };
        uint64_t frames = 1;
        if (!passes(1)) {
            // An estimate from the distance, then moved onto the exact comparison.
            frames = static_cast<uint64_t>(std::max(1.0, std::floor((m_fallStart - m_position) / 4)));
            while (frames > 1 && passes(frames - 1))
                --frames;
            while (!passes(frames))
                ++frames;
        }
        return static_cast<std::size_t>(std::min<uint64_t>(frames, std::numeric_limits<std::size_t>::max()));
    }

    double m_maximiseGain;
    uint64_t m_position;  // p: the byte offset in the take of the next frame
    bool m_fadeOut = false;
    double m_riseEnd = 0.0;
    double m_fallStart = 0.0;
    double m_riseStep = 0.0;
    double m_fallStep = 0.0;
    double m_parameter = 1.0;  // t
    Phase m_phase = Phase::None;
    bool m_gainKnown = false;
    double m_gainParameter = 0.0;
    double m_gain = 0.0;
};

}

namespace {

// The pass with the maximise gain given, or found from the scan's peak when there is none.
FadePassResult runFadePass(const std::string& temporaryPath, SaveRange range, const FadeSettings& fades,
                           std::optional<double> fixedGain, const BlockProgress& scanProgress,
                           const BlockProgress& processProgress)
{
    FadePassResult pass;
    std::string reason;
    std::optional<PcmWav> wav = openPcmWav(temporaryPath, &pass.skipReason);
    if (!wav)
        return pass;
    const PcmWavFormat& format = wav->format;
    if (format.channels != 2 || format.sampleRate != static_cast<uint32_t>(kTakeSampleRate) || format.bitsPerSample != 16) {
        pass.skipReason = "not 44100 Hz 16-bit stereo";
        return pass;
    }
    if (!range.valid()) {
        pass.result = failedSave(SaveFailure::InvalidRange, "The selection is empty or does not hold whole frames.");
        return pass;
    }

    // The scan reads the whole range also without the maximise: it is the save's read of the
    // range, which the user sees as " Scanning Audio ... ", and it finds a file cut short before
    // the rewrite starts on it.
    const std::optional<int16_t> peak = scanPeak(wav->region, scanProgress, kPcmBlockSize, &reason);
    if (!peak) {
        pass.result = failedSave(SaveFailure::TemporaryFile,
                                 "The temporary file " + quotedPath(temporaryPath) + " could not be read: " + reason + ".");
        return pass;
    }
    pass.peak = *peak;
    // A range without a positive sample keeps unit gain: 32767 / 0 has no meaning.
    if (fixedGain)
        pass.gain = *fixedGain;
    else if (fades.maximiseOn && pass.peak > 0)
        pass.gain = 32767.0 / pass.peak;
    FadeRewriter rewriter(range, fades, pass.gain);
    if (!rewriteBlocks(wav->region, std::ref(rewriter), processProgress, kPcmBlockSize, &reason)) {
        pass.result = failedSave(SaveFailure::TemporaryFile, "The temporary file " + quotedPath(temporaryPath)
                                                                 + " could not be rewritten: " + reason + ".");
        return pass;
    }
    pass.applied = true;
    return pass;
}

}

FadePassResult fadeAndMaximise(const std::string& temporaryPath, SaveRange range, const FadeSettings& fades,
                               const BlockProgress& scanProgress, const BlockProgress& processProgress)
{
    return runFadePass(temporaryPath, range, fades, std::nullopt, scanProgress, processProgress);
}

FadePassResult fadeAndScale(const std::string& temporaryPath, SaveRange range, const FadeSettings& fades,
                            double gain, const BlockProgress& scanProgress, const BlockProgress& processProgress)
{
    return runFadePass(temporaryPath, range, fades, gain, scanProgress, processProgress);
}

}
