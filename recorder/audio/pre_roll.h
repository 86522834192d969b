// The newest captured input while a take waits for sound ("Start on sound"), so that the take can
// begin a moment before the sound that started it: the needle drop and the first note are in it.
// A ring of bytes on the capture worker (never on the real-time audio thread); sized once by
// reserve, when the engine starts, and never allocating afterwards. Capture worker only, except
// reserve, which runs before the worker does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace wavelark {

// The time kept before the sound that starts a take.
inline constexpr double kPreRollSeconds = 2.0;

class PreRoll {
public:
    // Holds at most capacity bytes from now on, and nothing yet.
    void reserve(std::size_t capacity);
    void clear();
    // Keeps the bytes, dropping the oldest ones held beyond the capacity.
    void push(const uint8_t* bytes, std::size_t count);
    std::size_t size() const { return m_size; }
    // The bytes held, oldest first, in two parts (either may be empty).
    std::array<std::span<const uint8_t>, 2> parts() const;

private:
    std::vector<uint8_t> m_ring;
    std::size_t m_start = 0;  // the oldest byte held
    std::size_t m_size = 0;
};

}
