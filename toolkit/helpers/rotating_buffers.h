// The rotating result buffers of the text helpers: ten buffers per helper, used in turn, so a
// result stays valid until the same helper has been called ten more times.
//
// The helpers keep one set per thread (thread_local): the window thread and the capture worker
// both build texts, and with one shared set a burst of calls on one thread could lap the other
// and overwrite a result it is still reading. Per thread, the rotation is exactly ten deep.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

namespace sorvak {

template <typename Char, std::size_t Size>
class RotatingBuffers {
public:
    static constexpr int kCount = 10;
    static constexpr std::size_t kSize = Size;

    // Takes the buffer at the index, clears it and advances the index.
    Char* claim()
    {
        Char* buffer = m_buffers[m_index].data();
        m_index = (m_index + 1) % kCount;
        std::memset(buffer, 0, Size * sizeof(Char));
        return buffer;
    }

    // Advances the index first and then takes that buffer: the first call uses buffer 0, as with
    // claim(); only the stored index differs (it names the buffer last handed out).
    Char* advanceAndClaim()
    {
        m_lastIndex = (m_lastIndex + 1) % kCount;
        Char* buffer = m_buffers[m_lastIndex].data();
        std::memset(buffer, 0, Size * sizeof(Char));
        return buffer;
    }

private:
    std::array<std::array<Char, Size>, kCount> m_buffers {};
    int m_index = 0;
    int m_lastIndex = kCount - 1;
};

}
