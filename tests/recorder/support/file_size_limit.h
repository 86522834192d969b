// A disk that fills, for one scope: every write that would reach past the limit fails with EFBIG
// (RLIMIT_FSIZE, with SIGXFSZ ignored), as a write to a full disk fails. The process's own limit and
// signal handler come back when it goes. Tests only; no other thread may write meanwhile.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>

namespace wavelark::testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t bytes)
    {
        m_active = ::getrlimit(RLIMIT_FSIZE, &m_restore) == 0;
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_restore;
        limit.rlim_cur = bytes;
        m_active = m_active && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit()
    {
        if (m_active)
            ::setrlimit(RLIMIT_FSIZE, &m_restore);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    // False when the limit could not be set: the test cannot run.
    bool active() const { return m_active; }

private:
    rlimit m_restore{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_active = false;
};

}
