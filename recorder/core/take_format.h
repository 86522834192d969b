// The take's format and the arithmetic on it. A take is headerless PCM at 44100 Hz, 16-bit
// signed, two interleaved channels, 4 bytes a frame; every position kept in it is a byte offset
// and a whole frame. The whole take always spans the view columns 0..555, whatever the view's
// real width, so selection edges and the play cursor map the same way for the view, Play and
// Save. Any thread.
#pragma once

#include <QString>

#include <algorithm>
#include <cstdint>

namespace wavelark {

inline constexpr int kTakeSampleRate = 44100;
inline constexpr uint32_t kTakeFrameBytes = 4;
// The longest take, recorded or imported: byte offsets in the take are 32-bit, so the file stops
// one frame short of 4 GiB (6 h 45 min).
inline constexpr uint64_t kLargestTake = 0xFFFFFFFCull;

inline constexpr double kColumnSpan = 555.0;
// Two seconds of the take: how much of a selection the tail play keeps.
inline constexpr uint32_t kTailBytes = 352800;

// The byte offset of a column: 0..555 maps linearly to 0..takeLength; columns are held to 0..555.
inline double columnToByte(double column, uint32_t takeLength)
{
    const double held = std::clamp(column, 0.0, kColumnSpan);
    return 0.0 + (static_cast<double>(takeLength) - 0.0) / (kColumnSpan - 0.0) * (held - 0.0);
}

// columnToByte truncated toward zero, not yet rounded to a whole frame.
inline uint32_t columnToOffset(double column, uint32_t takeLength)
{
    return static_cast<uint32_t>(columnToByte(column, takeLength));
}

inline uint32_t wholeFrames(uint32_t offset)
{
    return offset & ~uint32_t{3};
}

// Duration in seconds of a number of take bytes.
inline double takeSeconds(double bytes)
{
    return bytes * 0.25 / 44100.0;
}

// The toolkit's time text of the whole seconds of a duration. Needs the bound toolkit.
QString wholeSecondsText(double seconds);

}
