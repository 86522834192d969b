#include "toolkit/audiofiles/media/reader_test_tools.h"

#include "sorvak.h"

#include <cstdlib>
#include <cstring>

namespace wavelark::testing {

ReadBack readToEnd(int slot)
{
    ReadBack read;
    for (;;) {
        void* buffer = nullptr;
        int32_t length = -1;
        int64_t time = -1;
        int progress = ReadWMA(slot, &buffer, &length, &time, 1.0, 0);
        if (progress < 0)
            break;
        std::size_t start = read.samples.size();
        read.samples.resize(start + static_cast<std::size_t>(length) / 2);
        if (length > 0)
            std::memcpy(read.samples.data() + start, buffer, static_cast<std::size_t>(length));
        std::free(buffer);
        read.lengths.push_back(length);
        read.times.push_back(time);
        read.progress.push_back(progress);
    }
    return read;
}

int32_t readBlockLength(int slot, double speed)
{
    void* buffer = nullptr;
    int32_t length = 0;
    if (ReadWMA(slot, &buffer, &length, nullptr, speed, 0) < 0)
        return -1;
    std::free(buffer);
    return length;
}

}
