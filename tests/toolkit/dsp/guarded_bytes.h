// Bytes that end exactly where a page without access begins: a read one byte too far faults,
// in plain and sanitizer builds alike.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace wavelark::testing {

class GuardedBytes {
public:
    GuardedBytes(const void* bytes, size_t size)
    {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        m_mappedSize = (size + page - 1) / page * page + page;
        void* memory = mmap(nullptr, m_mappedSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::runtime_error("cannot map a guarded buffer");
        m_mapping = static_cast<uint8_t*>(memory);
        uint8_t* guard = m_mapping + m_mappedSize - page;
        if (mprotect(guard, page, PROT_NONE) != 0)
            throw std::runtime_error("cannot protect the guard page");
        m_data = guard - size;
        std::memcpy(m_data, bytes, size);
    }
    ~GuardedBytes() { munmap(m_mapping, m_mappedSize); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    void* data() const { return m_data; }

private:
    uint8_t* m_mapping = nullptr;
    size_t m_mappedSize = 0;
    uint8_t* m_data = nullptr;
};

}
