#include "toolkit/dsp/reference_chain.h"

#include <cmath>
#include <cstring>
#include <random>

namespace wavelark::testing {

std::vector<uint8_t> randomBytes(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

std::vector<int16_t> samplesOf(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty())
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::vector<uint8_t> bytesOf(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> bytes(samples.size() * 2);
    if (!bytes.empty())
        std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<uint8_t> referenceConvert(const std::vector<uint8_t>& source, int sourceBits, int destinationBits,
                                      int sourceChannels, int destinationChannels)
{
    size_t sourceFrame = static_cast<size_t>(sourceBits / 8 * sourceChannels);
    std::vector<uint8_t> out;
    for (size_t offset = 0; offset + sourceFrame <= source.size(); offset += sourceFrame) {
        const uint8_t* bytes = source.data() + offset;
        int left;
        int right;
        if (sourceBits == 8) {
            left = (bytes[0] - 128) * 256;
            right = sourceChannels == 2 ? (bytes[1] - 128) * 256 : left;
        } else {
            int16_t values[2];
            std::memcpy(values, bytes, sourceFrame);
            left = values[0];
            right = sourceChannels == 2 ? values[1] : left;
        }
        if (destinationChannels < sourceChannels)
            left = (left + right) / 2;
        for (int channel = 0; channel < destinationChannels; ++channel) {
            auto value = static_cast<int16_t>(channel == 0 ? left : right);
            if (destinationBits == 8) {
                out.push_back(static_cast<uint8_t>((value >> 8) + 128));
            } else {
                out.push_back(static_cast<uint8_t>(value & 0xff));
                out.push_back(static_cast<uint8_t>((value >> 8) & 0xff));
            }
        }
    }
    return out;
}

std::vector<int16_t> referencePitchBend(const std::vector<int16_t>& samples, double a, double b,
                                        ReferenceState& state)
{
    if (a < 0.01127)
        a = 0.01127;
    if (b < 0.01127)
        b = 0.01127;
    size_t frames = samples.size() / 2;
    std::vector<int16_t> out;
    if (frames < 2)
        return out;
    double m = 1 / a;
    double h = (1 / a - 1 / b) / frames;
    double o = 0.0;
    for (size_t j = 0; j < frames; ++j) {
        double left = samples[2 * j];
        double right = samples[2 * j + 1];
        state.nextPosition += m;
        m -= h;
        while (o < state.nextPosition) {
            double t = (o - state.previousPosition) / (state.nextPosition - state.previousPosition);
            out.push_back(static_cast<int16_t>(std::trunc(state.previousLeft + t * (left - state.previousLeft))));
            out.push_back(static_cast<int16_t>(std::trunc(state.previousRight + t * (right - state.previousRight))));
            o += 1;
        }
        state.previousPosition = state.nextPosition;
        state.previousLeft = left;
        state.previousRight = right;
    }
    double emitted = static_cast<double>(out.size() / 2);
    state.previousPosition -= emitted;
    state.nextPosition -= emitted;
    return out;
}

std::vector<uint8_t> referenceResample(const std::vector<uint8_t>& source, int sourceBits, int sourceChannels,
                                       int sourceRate, int destinationBits, int destinationChannels, int targetRate,
                                       double startSpeed, double endSpeed, ReferenceState& state)
{
    std::vector<uint8_t> working = referenceConvert(source, sourceBits, 16, sourceChannels, 2);
    double ratio = static_cast<double>(sourceRate) / targetRate;
    std::vector<int16_t> bent = referencePitchBend(samplesOf(working), ratio * startSpeed, ratio * endSpeed, state);
    return referenceConvert(bytesOf(bent), 16, destinationBits, 2, destinationChannels);
}

}
