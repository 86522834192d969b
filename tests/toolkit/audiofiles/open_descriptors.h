// Counts the file descriptors the test process holds, to show that a function leaves none open.
#pragma once

#include <filesystem>

namespace wavelark::testing {

inline int openDescriptorCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

}
