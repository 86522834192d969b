// Creating the install folder and replacing its files by whole-file renames.

#include "install_files.h"

#include "core/file_toolbox.h"

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

// One file written in full under a temporary name beside its final path, then renamed over it
// while the file it replaces is kept under a backup name until the whole installation is in.
//
// Why backups rather than installing into a new folder switched in by one rename: the install
// folder is also the recorder's data folder (its settings, the take, the lock a running copy
// holds), which must stay where it is. The old file is kept by a hard link, so its name never
// goes missing for a copy starting meanwhile; only on a file system without hard links is it
// renamed aside, just before the new file takes its name.
class WrittenFile {
public:
    WrittenFile(const QString& path, const RenameCall& rename)
        : m_path(path), m_encodedPath(QFile::encodeName(path)), m_backup(m_encodedPath + ".setup-previous"),
          m_rename(rename)
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

    // Keeps the file at the path under the backup name, then replaces it by the written one in
    // one step. After a failure putBack undoes what was done.
    std::optional<InstallFailure> renameIntoPlace()
    {
        // A backup a failed run left behind is older than the file at the path now.
        ::unlink(m_backup.constData());
        if (::link(m_encodedPath.constData(), m_backup.constData()) == 0) {
            m_kept = Kept::Linked;
        } else if (errno != ENOENT) {
            if (m_rename(m_encodedPath.constData(), m_backup.constData()) != 0)
                return failure(errno);
            m_kept = Kept::MovedAside;
        }
        if (m_rename(m_temporary.constData(), m_encodedPath.constData()) != 0)
            return failure(errno);
        m_temporary.clear();
        m_replaced = true;
        return std::nullopt;
    }

    // Undoes renameIntoPlace: the old file back at the path (none when there was none). False
    // when that failed; the backup then stays.
    bool putBack()
    {
        if (m_kept == Kept::Nothing) {
            if (m_replaced && ::unlink(m_encodedPath.constData()) != 0)
                return false;
        } else if (m_replaced || m_kept == Kept::MovedAside) {
            if (m_rename(m_backup.constData(), m_encodedPath.constData()) != 0)
                return false;
        } else {
            ::unlink(m_backup.constData());
        }
        m_kept = Kept::Nothing;
        m_replaced = false;
        return true;
    }

    // Once every file is in: the old file is no longer needed.
    void dropBackup()
    {
        if (m_kept != Kept::Nothing)
            ::unlink(m_backup.constData());
        m_kept = Kept::Nothing;
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

    enum class Kept { Nothing, Linked, MovedAside };

    QString m_path;
    QByteArray m_encodedPath;
    QByteArray m_backup;
    RenameCall m_rename;
    QByteArray m_temporary;  // empty once renamed
    int m_descriptor = -1;
    Kept m_kept = Kept::Nothing;
    bool m_replaced = false;
};

}

std::optional<InstallFailure> installFiles(const QString& installFolder, const QList<PayloadFile>& files,
                                           const RenameCall& rename)
{
    if (auto failure = makeInstallFolder(installFolder))
        return failure;
    const RenameCall renameCall = rename ? rename : RenameCall(::rename);

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
        auto file = std::make_unique<WrittenFile>(path, renameCall);
        if (auto failure = file->write(source.readAll(), payload.permissions))
            return failure;
        written.push_back(std::move(file));
    }
    for (size_t index = 0; index < written.size(); ++index) {
        if (auto failure = written[index]->renameIntoPlace()) {
            // This file and those already in are put back, the last first.
            bool whole = true;
            for (size_t done = index + 1; done-- > 0;)
                whole = written[done]->putBack() && whole;
            if (!whole)
                failure->reason += QStringLiteral("; some files of the earlier installation could not be put back and "
                                                  "remain beside it with the ending .setup-previous");
            return failure;
        }
    }
    // The new names reach the disk before the old files are let go: after a power loss the
    // folder holds the new installation or, with the backups, the old one. Where the folder
    // cannot be forced, the installation is in place all the same and the backups stay.
    if (!syncFolder(QFile::encodeName(installFolder).toStdString()))
        return std::nullopt;
    for (auto& file : written)
        file->dropBackup();
    return std::nullopt;
}

}
