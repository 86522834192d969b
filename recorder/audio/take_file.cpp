#include "audio/take_file.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace wavelark {

namespace {

// Forces the file's data to stable storage. A file that cannot be synced at all (a pipe, a
// special file) has nothing to lose by it and counts as synced.
bool syncData(std::FILE* file)
{
    return ::fdatasync(::fileno(file)) == 0 || errno == EINVAL;
}

}

TakeFile::~TakeFile()
{
    finish();
}

bool TakeFile::create(const std::string& path, std::string* error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb+");
    if (!file) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    std::lock_guard lock(m_mutex);
    closeLocked();
    m_file = file;
    m_takeStarted = true;
    m_written = 0;
    m_unsynced = 0;
    m_fault = AppendResult::Written;
    m_faultReason.clear();
    return true;
}

AppendResult TakeFile::append(const uint8_t* bytes, std::size_t byteCount, std::string* error)
{
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return AppendResult::NotRecording;
    if (m_written + byteCount > m_largestTake) {
        closeLocked();
        m_fault = AppendResult::TakeFull;
        return AppendResult::TakeFull;
    }
    const std::size_t written = std::fwrite(bytes, 1, byteCount, m_file);
    m_unsynced += written;
    // Flushed every buffer, so that a full disk shows at the buffer that met it; synced at the
    // cadence, so that a failing disk shows there too rather than after the take.
    const bool syncDue = m_unsynced >= m_syncInterval;
    if (written != byteCount || std::fflush(m_file) != 0 || (syncDue && !syncData(m_file))) {
        m_faultReason = std::strerror(errno);
        if (error)
            *error = m_faultReason;
        // What reached the file stays; a partial frame at its end is harmless, as every offset
        // taken in the take is rounded down to a whole frame.
        m_written += written;
        closeLocked();
        m_fault = AppendResult::WriteFailed;
        return AppendResult::WriteFailed;
    }
    m_written += byteCount;
    if (syncDue)
        m_unsynced = 0;
    return AppendResult::Written;
}

FinishedTake TakeFile::finish()
{
    std::lock_guard lock(m_mutex);
    closeLocked();
    FinishedTake finished{std::exchange(m_takeStarted, false), m_fault, std::move(m_faultReason)};
    m_fault = AppendResult::Written;
    m_faultReason.clear();
    return finished;
}

void TakeFile::close()
{
    std::lock_guard lock(m_mutex);
    closeLocked();
}

bool TakeFile::writing() const
{
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

uint64_t TakeFile::bytesWritten() const
{
    std::lock_guard lock(m_mutex);
    return m_written;
}

void TakeFile::closeLocked()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

}
