#include "audio/pre_roll.h"

#include <algorithm>
#include <cstring>

namespace wavelark {

void PreRoll::reserve(std::size_t capacity)
{
    m_ring.assign(capacity, 0);
    clear();
}

void PreRoll::clear()
{
    m_start = 0;
    m_size = 0;
}

void PreRoll::push(const uint8_t* bytes, std::size_t count)
{
    const std::size_t capacity = m_ring.size();
    if (capacity == 0)
        return;
    // Only the newest capacity bytes of a large block can stay.
    if (count >= capacity) {
        std::memcpy(m_ring.data(), bytes + (count - capacity), capacity);
        m_start = 0;
        m_size = capacity;
        return;
    }
    const std::size_t end = (m_start + m_size) % capacity;
    const std::size_t first = std::min(count, capacity - end);
    std::memcpy(m_ring.data() + end, bytes, first);
    std::memcpy(m_ring.data(), bytes + first, count - first);
    const std::size_t overflow = m_size + count > capacity ? m_size + count - capacity : 0;
    m_start = (m_start + overflow) % capacity;
    m_size += count - overflow;
}

std::array<std::span<const uint8_t>, 2> PreRoll::parts() const
{
    const std::size_t capacity = m_ring.size();
    const std::size_t first = std::min(m_size, capacity - m_start);
    return {std::span<const uint8_t>(m_ring.data() + m_start, first),
            std::span<const uint8_t>(m_ring.data(), m_size - first)};
}

}
