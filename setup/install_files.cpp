// Creating the install folder and replacing its files by whole-file renames.

#include "install_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavelark::setup {

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<InstallFailure> makeInstallFolder(const QString& installFolder)
{
    // Without its trailing '/', so that a file in the way is told apart from a missing folder.
    const QByteArray path = QFile::encodeName(QDir::cleanPath(installFolder));
    if (::mkdir(path.constData(), 0755) == 0)
        return std::nullopt;
    const int error = errno;
    struct stat status {};
    if (error == EEXIST && ::stat(path.constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return std::nullopt;
        return InstallFailure{installFolder, QStringLiteral("a file of that name is in the way")};
    }
    return InstallFailure{installFolder, systemReason(error)};
}

// One file written in full under a temporary name beside its final path, then renamed over it.
class WrittenFile {
public:
    explicit WrittenFile(const QString& path)
        : m_path(path)
    {
    }
    ~WrittenFile()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
    }
    WrittenFile(const WrittenFile&) = delete;
    WrittenFile& operator=(const WrittenFile&) = delete;

    // Creates the temporary file and writes, chmods and syncs it.
    std::optional<InstallFailure> write(const QByteArray& bytes, QFileDevice::Permissions permissions)
    {
        QByteArray pattern = QFile::encodeName(m_path) + ".install-XXXXXX";
        m_descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (m_descriptor < 0)
            return failure(errno);
        m_temporary = pattern;
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t count = ::write(m_descriptor, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                return failure(count < 0 ? errno : EIO);
            done += count;
        }
        if (::fchmod(m_descriptor, modeOf(permissions)) != 0 || ::fsync(m_descriptor) != 0)
            return failure(errno);
        const int closed = ::close(m_descriptor);
        m_descriptor = -1;
        if (closed != 0)
            return failure(errno);
        return std::nullopt;
    }

    // Replaces the file at the path by the written one in one step.
    std::optional<InstallFailure> renameIntoPlace()
    {
        if (::rename(m_temporary.constData(), QFile::encodeName(m_path).constData()) != 0)
            return failure(errno);
        m_temporary.clear();
        return std::nullopt;
    }

private:
    InstallFailure failure(int error) const { return InstallFailure{m_path, systemReason(error)}; }

    static mode_t modeOf(QFileDevice::Permissions permissions)
    {
        mode_t mode = 0;
        const std::pair<QFileDevice::Permission, mode_t> bits[] = {
            {QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
            {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
            {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH},
        };
        for (const auto& [permission, bit] : bits) {
            if (permissions & permission)
                mode |= bit;
        }
        return mode;
    }

    QString m_path;
    QByteArray m_temporary;  // empty once renamed
    int m_descriptor = -1;
};

}

std::optional<InstallFailure> installFiles(const QString& installFolder, const QList<PayloadFile>& files)
{
    if (auto failure = makeInstallFolder(installFolder))
        return failure;

    // Every file is written before any is renamed into place: a failure part-way leaves the old
    // installation whole. Each WrittenFile removes its temporary file unless it was renamed.
    std::vector<std::unique_ptr<WrittenFile>> written;
    for (const PayloadFile& payload : files) {
        const QString path = installFolder + payload.name;
        QFile source(payload.resource);
        if (!source.open(QIODevice::ReadOnly))
            return InstallFailure{payload.resource, QStringLiteral("the setup program lacks this file (%1)").arg(source.errorString())};
        if (QFileInfo(path).isDir())
            return InstallFailure{path, QStringLiteral("a folder of that name is in the way")};
        auto file = std::make_unique<WrittenFile>(path);
        if (auto failure = file->write(source.readAll(), payload.permissions))
            return failure;
        written.push_back(std::move(file));
    }
    for (auto& file : written) {
        if (auto failure = file->renameIntoPlace())
            return failure;
    }
    return std::nullopt;
}

}
