#include "dsp/sample_format.h"

#include "dsp/audio_block.h"

#include <cstring>

namespace sorvak::dsp {

namespace {

enum class Layout { Unsigned8Mono, Unsigned8Stereo, Signed16Mono, Signed16Stereo };

constexpr size_t kLayoutBytes[] = {1, 2, 2, 4};

Layout layoutOf(const SampleFormat& format)
{
    int code = (((format.bits / 8) & 2) ? 2 : 0) + (((format.channels / 2) & 1) ? 1 : 0);
    return static_cast<Layout>(code);
}

struct WorkingFrame {
    int16_t left;
    int16_t right;
};

int16_t read16(const uint8_t* bytes)
{
    int16_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void write16(uint8_t* bytes, int16_t value)
{
    std::memcpy(bytes, &value, sizeof value);
}

int16_t from8(uint8_t byte)
{
    return static_cast<int16_t>((byte - 128) * 256);
}

uint8_t to8(int16_t value)
{
    // Keeps the high byte: an arithmetic shift, then the unsigned offset.
    return static_cast<uint8_t>((value >> 8) + 128);
}

template <Layout From>
WorkingFrame decode(const uint8_t* bytes)
{
    if constexpr (From == Layout::Unsigned8Mono) {
        int16_t value = from8(bytes[0]);
        return {value, value};
    } else if constexpr (From == Layout::Unsigned8Stereo) {
        return {from8(bytes[0]), from8(bytes[1])};
    } else if constexpr (From == Layout::Signed16Mono) {
        int16_t value = read16(bytes);
        return {value, value};
    } else {
        return {read16(bytes), read16(bytes + 2)};
    }
}

template <Layout To>
void encode(WorkingFrame frame, uint8_t* bytes)
{
    if constexpr (To == Layout::Unsigned8Mono) {
        bytes[0] = to8(frame.left);
    } else if constexpr (To == Layout::Unsigned8Stereo) {
        bytes[0] = to8(frame.left);
        bytes[1] = to8(frame.right);
    } else if constexpr (To == Layout::Signed16Mono) {
        write16(bytes, frame.left);
    } else {
        write16(bytes, frame.left);
        write16(bytes + 2, frame.right);
    }
}

WorkingFrame mixDown(WorkingFrame frame)
{
    // Integer division truncates toward zero: (-3 + 0) / 2 is -1.
    frame.left = static_cast<int16_t>((frame.left + frame.right) / 2);
    return frame;
}

// One loop per pair of layouts with the frame sizes known, so the compiler can vectorise it.
template <Layout From, Layout To, bool Mix>
void convertPacked(const uint8_t* source, uint8_t* destination, size_t frames)
{
    constexpr size_t sourceBytes = kLayoutBytes[static_cast<int>(From)];
    constexpr size_t destinationBytes = kLayoutBytes[static_cast<int>(To)];
    if constexpr (From == To && !Mix) {
        std::memcpy(destination, source, frames * sourceBytes);
    } else {
        for (size_t index = 0; index < frames; ++index) {
            WorkingFrame frame = decode<From>(source + index * sourceBytes);
            if constexpr (Mix)
                frame = mixDown(frame);
            encode<To>(frame, destination + index * destinationBytes);
        }
    }
}

using PackedConverter = void (*)(const uint8_t*, uint8_t*, size_t);

template <Layout From, Layout To>
PackedConverter packedConverter(bool mix)
{
    return mix ? &convertPacked<From, To, true> : &convertPacked<From, To, false>;
}

template <Layout From>
PackedConverter packedConverter(Layout to, bool mix)
{
    switch (to) {
    case Layout::Unsigned8Mono:
        return packedConverter<From, Layout::Unsigned8Mono>(mix);
    case Layout::Unsigned8Stereo:
        return packedConverter<From, Layout::Unsigned8Stereo>(mix);
    case Layout::Signed16Mono:
        return packedConverter<From, Layout::Signed16Mono>(mix);
    case Layout::Signed16Stereo:
        break;
    }
    return packedConverter<From, Layout::Signed16Stereo>(mix);
}

PackedConverter packedConverter(Layout from, Layout to, bool mix)
{
    switch (from) {
    case Layout::Unsigned8Mono:
        return packedConverter<Layout::Unsigned8Mono>(to, mix);
    case Layout::Unsigned8Stereo:
        return packedConverter<Layout::Unsigned8Stereo>(to, mix);
    case Layout::Signed16Mono:
        return packedConverter<Layout::Signed16Mono>(to, mix);
    case Layout::Signed16Stereo:
        break;
    }
    return packedConverter<Layout::Signed16Stereo>(to, mix);
}

WorkingFrame decodeAny(Layout layout, const uint8_t* bytes)
{
    switch (layout) {
    case Layout::Unsigned8Mono:
        return decode<Layout::Unsigned8Mono>(bytes);
    case Layout::Unsigned8Stereo:
        return decode<Layout::Unsigned8Stereo>(bytes);
    case Layout::Signed16Mono:
        return decode<Layout::Signed16Mono>(bytes);
    case Layout::Signed16Stereo:
        break;
    }
    return decode<Layout::Signed16Stereo>(bytes);
}

void encodeAny(Layout layout, WorkingFrame frame, uint8_t* bytes)
{
    switch (layout) {
    case Layout::Unsigned8Mono:
        return encode<Layout::Unsigned8Mono>(frame, bytes);
    case Layout::Unsigned8Stereo:
        return encode<Layout::Unsigned8Stereo>(frame, bytes);
    case Layout::Signed16Mono:
        return encode<Layout::Signed16Mono>(frame, bytes);
    case Layout::Signed16Stereo:
        break;
    }
    encode<Layout::Signed16Stereo>(frame, bytes);
}

// Frame by frame, for a per-frame callback or for frames wider than their layout's samples.
void convertEachFrame(const uint8_t* source, uint8_t* destination, size_t frames, Layout from, size_t sourceBytes,
                      Layout to, size_t destinationBytes, bool mix, SorvakFrameFunction perFrame)
{
    size_t encodedBytes = kLayoutBytes[static_cast<int>(to)];
    for (size_t index = 0; index < frames; ++index) {
        WorkingFrame frame = decodeAny(from, source + index * sourceBytes);
        if (perFrame) {
            int16_t samples[2] = {frame.left, frame.right};
            perFrame(samples); // its result carries no meaning
            frame = {samples[0], samples[1]};
        }
        if (mix)
            frame = mixDown(frame);
        uint8_t* out = destination + index * destinationBytes;
        encodeAny(to, frame, out);
        std::memset(out + encodedBytes, 0, destinationBytes - encodedBytes);
    }
}

}

uint32_t frameBytes(const SampleFormat& format)
{
    int64_t bytes = static_cast<int64_t>(format.bits / 8) * format.channels;
    if (bytes <= 0 || bytes > UINT32_MAX)
        return 0;
    return static_cast<uint32_t>(bytes);
}

void convertFrames(const uint8_t* source, uint8_t* destination, size_t frames, const SampleFormat& from,
                   const SampleFormat& to, SorvakFrameFunction perFrame)
{
    if (frames == 0)
        return;
    Layout fromLayout = layoutOf(from);
    Layout toLayout = layoutOf(to);
    size_t sourceBytes = frameBytes(from);
    size_t destinationBytes = frameBytes(to);
    // The channel counts as given decide the mix-down, not the layouts they map to.
    bool mix = to.channels < from.channels;
    if (!perFrame && sourceBytes == kLayoutBytes[static_cast<int>(fromLayout)]
        && destinationBytes == kLayoutBytes[static_cast<int>(toLayout)]) {
        packedConverter(fromLayout, toLayout, mix)(source, destination, frames);
        return;
    }
    convertEachFrame(source, destination, frames, fromLayout, sourceBytes, toLayout, destinationBytes, mix, perFrame);
}

}

void ConvertAudioBufferAlign(const AudioBuffer* source, AudioBuffer* destination, int sourceBits, int destinationBits,
                             int sourceChannels, int destinationChannels, SorvakFrameFunction perFrame)
{
    using namespace sorvak::dsp;
    if (!destination)
        return;
    SampleFormat from{sourceBits, sourceChannels};
    SampleFormat to{destinationBits, destinationChannels};
    uint32_t sourceBytes = frameBytes(from);
    uint32_t destinationBytes = frameBytes(to);
    *destination = AudioBuffer{nullptr, 0, destinationBytes};
    if (!source || sourceBytes == 0 || destinationBytes == 0)
        return;
    // Only whole frames are converted: a trailing partial frame is never read.
    size_t frames = source->data ? source->size / sourceBytes : 0;
    uint64_t outputBytes = static_cast<uint64_t>(frames) * destinationBytes;
    if (outputBytes > UINT32_MAX)
        return;
    uint8_t* output = allocateAudioBlock(outputBytes);
    if (!output)
        return;
    convertFrames(static_cast<const uint8_t*>(source->data), output, frames, from, to, perFrame);
    destination->data = output;
    destination->size = static_cast<uint32_t>(outputBytes);
}
