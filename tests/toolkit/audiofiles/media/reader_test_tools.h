// Reads a whole file through a reader slot (OpenWMA/ReadWMA) for the media layer's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavelark::testing {

struct ReadBack {
    std::vector<int16_t> samples;  // 44100 Hz stereo, every block joined
    std::vector<int32_t> lengths;  // of each block
    std::vector<int64_t> times;
    std::vector<int> progress;
};

// Reads the open slot to its end (ReadWMA returning -1) with speed 1.0.
ReadBack readToEnd(int slot);

// Reads and releases one block; its length in bytes, or -1 at the end.
int32_t readBlockLength(int slot, double speed = 1.0);

// Whether a value sequence never falls.
template <typename Value>
bool neverFalls(const std::vector<Value>& values)
{
    for (std::size_t index = 1; index < values.size(); ++index) {
        if (values[index] < values[index - 1])
            return false;
    }
    return true;
}

}
