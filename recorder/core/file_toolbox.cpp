#include "core/file_toolbox.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace wavelark {

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1))
{
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        close();
        m_descriptor = std::exchange(other.m_descriptor, -1);
    }
    return *this;
}

bool FileDescriptor::close()
{
    if (m_descriptor < 0)
        return true;
    const int descriptor = std::exchange(m_descriptor, -1);
    return ::close(descriptor) == 0;
}

ssize_t readFully(int descriptor, uint8_t* into, std::size_t bytes, uint64_t offset)
{
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got = ::pread(descriptor, into + done, bytes - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

bool writeFully(int descriptor, const uint8_t* from, std::size_t bytes, uint64_t offset)
{
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t put = ::pwrite(descriptor, from + done, bytes - done, static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put == 0)
            errno = ENOSPC;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool syncFolder(const std::string& folder)
{
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return false;
    const bool synced = ::fsync(handle) == 0;
    const int reason = errno;
    ::close(handle);
    errno = reason;
    return synced;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string FileFailure::reason() const
{
    return std::strerror(code);
}

std::optional<FileFailure> FileReplacement::begin(const std::string& path, const std::string& sideSuffix, mode_t mode)
{
    abandon();
    m_path = path;
    m_sidePath = path + sideSuffix;
    // O_NOFOLLOW: a link planted under the temporary name must not redirect the write.
    m_file = FileDescriptor(::open(m_sidePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode));
    if (!m_file.isOpen()) {
        const FileFailure failure{FileFailure::Step::Creating, errno};
        m_sidePath.clear();
        return failure;
    }
    return std::nullopt;
}

std::optional<FileFailure> FileReplacement::write(std::span<const uint8_t> bytes, uint64_t offset)
{
    if (!m_file.isOpen())
        return FileFailure{FileFailure::Step::Writing, EBADF};
    if (!writeFully(m_file.get(), bytes.data(), bytes.size(), offset))
        return failAt(FileFailure::Step::Writing);
    return std::nullopt;
}

std::optional<FileFailure> FileReplacement::commit()
{
    if (!m_file.isOpen())
        return FileFailure{FileFailure::Step::Writing, EBADF};
    // Every byte on disk before the rename: a full disk or a power loss must never put a short
    // file in place of the old one.
    if (::fsync(m_file.get()) != 0 || !m_file.close())
        return failAt(FileFailure::Step::Writing);
    if (::rename(m_sidePath.c_str(), m_path.c_str()) != 0)
        return failAt(FileFailure::Step::Replacing);
    m_sidePath.clear();
    if (!syncFolder(folderOf(m_path)))
        return FileFailure{FileFailure::Step::SyncingFolder, errno};
    return std::nullopt;
}

std::optional<FileFailure> moveIntoPlace(const std::string& sidePath, const std::string& path)
{
    FileDescriptor side(::open(sidePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!side.isOpen() || ::fsync(side.get()) != 0 || !side.close())
        return FileFailure{FileFailure::Step::Writing, errno != 0 ? errno : EIO};
    if (::rename(sidePath.c_str(), path.c_str()) != 0)
        return FileFailure{FileFailure::Step::Replacing, errno};
    if (!syncFolder(folderOf(path)))
        return FileFailure{FileFailure::Step::SyncingFolder, errno};
    return std::nullopt;
}

void FileReplacement::abandon()
{
    m_file.close();
    if (!m_sidePath.empty())
        ::unlink(m_sidePath.c_str());
    m_sidePath.clear();
}

std::optional<FileFailure> FileReplacement::failAt(FileFailure::Step step)
{
    const FileFailure failure{step, errno != 0 ? errno : EIO};
    abandon();
    return failure;
}

std::optional<FileFailure> replaceFile(const std::string& path, std::span<const uint8_t> bytes, mode_t mode)
{
    FileReplacement replacement;
    if (auto failure = replacement.begin(path, ".part", mode))
        return failure;
    if (auto failure = replacement.write(bytes, 0))
        return failure;
    return replacement.commit();
}

}
