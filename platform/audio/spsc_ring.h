// A lock-free byte ring between exactly one producer thread and one consumer thread.
//
// The storage is allocated once, by the constructor; write, read and discard never allocate,
// lock or block, so either side may be a real-time audio callback. Positions are 64-bit running
// totals of the bytes ever written and read, so they never wrap in practice and the consumer's
// position tells how much of the stream has been taken.
#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace wavelark::audio {

class SpscRing {
public:
    // The capacity is rounded up to a power of two.
    explicit SpscRing(size_t minimumCapacity)
        : m_capacity(std::bit_ceil(std::max<size_t>(minimumCapacity, 4)))
        , m_storage(std::make_unique<uint8_t[]>(m_capacity))
    {
    }

    SpscRing(const SpscRing&) = delete;
    SpscRing& operator=(const SpscRing&) = delete;

    size_t capacity() const noexcept { return m_capacity; }

    // Producer side: copies as much of bytes as fits and returns the count copied.
    size_t write(const uint8_t* bytes, size_t count) noexcept
    {
        uint64_t writePosition = m_writePosition.load(std::memory_order_relaxed);
        uint64_t readPosition = m_readPosition.load(std::memory_order_acquire);
        size_t room = m_capacity - static_cast<size_t>(writePosition - readPosition);
        count = std::min(count, room);
        size_t offset = static_cast<size_t>(writePosition & (m_capacity - 1));
        size_t first = std::min(count, m_capacity - offset);
        std::memcpy(m_storage.get() + offset, bytes, first);
        std::memcpy(m_storage.get(), bytes + first, count - first);
        m_writePosition.store(writePosition + count, std::memory_order_release);
        return count;
    }

    // Consumer side: copies up to count bytes out and returns the count copied.
    size_t read(uint8_t* bytes, size_t count) noexcept
    {
        uint64_t readPosition = m_readPosition.load(std::memory_order_relaxed);
        uint64_t writePosition = m_writePosition.load(std::memory_order_acquire);
        count = std::min(count, static_cast<size_t>(writePosition - readPosition));
        size_t offset = static_cast<size_t>(readPosition & (m_capacity - 1));
        size_t first = std::min(count, m_capacity - offset);
        std::memcpy(bytes, m_storage.get() + offset, first);
        std::memcpy(bytes + first, m_storage.get(), count - first);
        m_readPosition.store(readPosition + count, std::memory_order_release);
        return count;
    }

    // Consumer side: drops up to count bytes and returns the count dropped.
    size_t discard(size_t count) noexcept
    {
        uint64_t readPosition = m_readPosition.load(std::memory_order_relaxed);
        uint64_t writePosition = m_writePosition.load(std::memory_order_acquire);
        count = std::min(count, static_cast<size_t>(writePosition - readPosition));
        m_readPosition.store(readPosition + count, std::memory_order_release);
        return count;
    }

    // Bytes waiting to be read; exact on the consumer side, a lower bound on the producer side.
    size_t readable() const noexcept
    {
        return static_cast<size_t>(m_writePosition.load(std::memory_order_acquire)
                                   - m_readPosition.load(std::memory_order_acquire));
    }

    size_t writable() const noexcept { return m_capacity - readable(); }

    // Running totals of the bytes written and read since construction.
    uint64_t writePosition() const noexcept { return m_writePosition.load(std::memory_order_acquire); }
    uint64_t readPosition() const noexcept { return m_readPosition.load(std::memory_order_acquire); }

private:
    const size_t m_capacity;
    std::unique_ptr<uint8_t[]> m_storage;
    // Apart, so the producer's and the consumer's stores do not share a cache line.
    alignas(64) std::atomic<uint64_t> m_writePosition{0};
    alignas(64) std::atomic<uint64_t> m_readPosition{0};
};

}
