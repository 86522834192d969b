// The rotating result buffers of the text helpers: ten buffers per helper, used in turn, so a
// result stays valid until the same helper has been called ten more times.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>

namespace sorvak {

template <typename Char, std::size_t Size>
class RotatingBuffers {
public:
    static constexpr int kCount = 10;
    static constexpr std::size_t kSize = Size;

    // Claims the buffer at the index, clears it and advances the index. The claim is one atomic
    // step, so two threads calling at once always get different buffers.
    Char* claim()
    {
        int index = m_index.load(std::memory_order_relaxed);
        while (!m_index.compare_exchange_weak(index, (index + 1) % kCount, std::memory_order_acq_rel)) {
        }
        Char* buffer = m_buffers[index].data();
        std::memset(buffer, 0, Size * sizeof(Char));
        return buffer;
    }

    // Advances the index first and then claims that buffer: the first call uses buffer 0, as
    // with claim(); only the stored index differs (it names the buffer last handed out).
    Char* advanceAndClaim()
    {
        int index = m_lastIndex.load(std::memory_order_relaxed);
        int next = 0;
        do {
            next = (index + 1) % kCount;
        } while (!m_lastIndex.compare_exchange_weak(index, next, std::memory_order_acq_rel));
        Char* buffer = m_buffers[next].data();
        std::memset(buffer, 0, Size * sizeof(Char));
        return buffer;
    }

private:
    std::array<std::array<Char, Size>, kCount> m_buffers {};
    std::atomic<int> m_index {0};
    std::atomic<int> m_lastIndex {kCount - 1};
};

}
