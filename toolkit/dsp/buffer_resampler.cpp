#include "dsp/buffer_resampler.h"

#include "dsp/audio_block.h"

#include <cstdlib>

namespace sorvak::dsp {

namespace {

bool isWorkingFormat(const SampleFormat& format)
{
    return format.bits == 16 && format.channels == 2;
}

// Owns a block until it is handed on.
struct BlockOwner {
    AudioBlock block;
    ~BlockOwner() { std::free(block.data); }
};

}

bool resampleBlock(const uint8_t* data, size_t size, const SampleFormat& from, double sourceRate,
                   const SampleFormat& to, double targetRate, ResamplerState& state, double startSpeed,
                   double endSpeed, AudioBlock& output)
{
    output = AudioBlock{};
    size_t sourceBytes = frameBytes(from);
    size_t destinationBytes = frameBytes(to);
    if (sourceBytes == 0 || destinationBytes == 0)
        return false;
    size_t frames = data ? size / sourceBytes : 0;

    // Working-format input is read where it lies instead of being copied first; the copy would
    // hold the same frames.
    const uint8_t* working = data;
    BlockOwner converted;
    if (!isWorkingFormat(from)) {
        converted.block.data = allocateAudioBlock(frames * 4);
        if (!converted.block.data)
            return false;
        convertFrames(data, converted.block.data, frames, from, SampleFormat{16, 2}, nullptr);
        working = converted.block.data;
    }

    double ratio = sourceRate / targetRate;
    BlockOwner bent;
    if (!pitchBendStereo(working, frames, ratio * startSpeed, ratio * endSpeed,
                         state, bent.block))
        return false;

    size_t outputFrames = bent.block.size / 4;
    if (outputFrames > UINT32_MAX / destinationBytes)
        return false;
    if (isWorkingFormat(to) && bent.block.data) {
        output = bent.block;
        bent.block = AudioBlock{};
        return true;
    }
    uint8_t* encoded = allocateAudioBlock(outputFrames * destinationBytes);
    if (!encoded)
        return false;
    convertFrames(bent.block.data, encoded, outputFrames, SampleFormat{16, 2}, to, nullptr);
    output = AudioBlock{encoded, outputFrames * destinationBytes};
    return true;
}

}

int ResampleAudioBuffer(const AudioBuffer* source, AudioBuffer* destination, const WAVEFORMATEX* sourceFormat,
                        const WAVEFORMATEX* destinationFormat, ResamplerState* state, double startSpeed,
                        double endSpeed, int targetRate)
{
    using namespace sorvak::dsp;
    if (!destination)
        return 0;
    *destination = AudioBuffer{nullptr, 0, 0};
    if (!source || !sourceFormat || !destinationFormat || !state)
        return 0;
    SampleFormat from{sourceFormat->wBitsPerSample, sourceFormat->nChannels};
    // The destination rate field is not read: the target rate argument decides.
    SampleFormat to{destinationFormat->wBitsPerSample, destinationFormat->nChannels};
    destination->blockAlign = frameBytes(to);
    AudioBlock block;
    if (!resampleBlock(static_cast<const uint8_t*>(source->data), source->size, from, sourceFormat->nSamplesPerSec,
                       to, targetRate, *state, startSpeed, endSpeed, block))
        return 0;
    destination->data = block.data;
    destination->size = static_cast<uint32_t>(block.size);
    return 0;
}
