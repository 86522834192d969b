// Creating the install folder and replacing its files by whole-file renames.

#include "install_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/stat.h>

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

}

std::optional<InstallFailure> installFiles(const QString& installFolder, const QList<PayloadFile>& files)
{
    if (auto failure = makeInstallFolder(installFolder))
        return failure;

    // Every file is written before any is renamed into place: a failure part-way leaves the old
    // installation whole. Each QSaveFile removes its temporary file unless it is committed.
    std::vector<std::unique_ptr<QSaveFile>> written;
    for (const PayloadFile& payload : files) {
        const QString path = installFolder + payload.name;
        QFile source(payload.resource);
        if (!source.open(QIODevice::ReadOnly))
            return InstallFailure{payload.resource, QStringLiteral("the setup program lacks this file (%1)").arg(source.errorString())};
        const QByteArray bytes = source.readAll();
        if (QFileInfo(path).isDir())
            return InstallFailure{path, QStringLiteral("a folder of that name is in the way")};
        auto file = std::make_unique<QSaveFile>(path);
        if (!file->open(QIODevice::WriteOnly))
            return InstallFailure{path, file->errorString()};
        if (!file->setPermissions(payload.permissions))
            return InstallFailure{path, file->errorString()};
        if (file->write(bytes) != bytes.size() || !file->flush())
            return InstallFailure{path, file->errorString()};
        written.push_back(std::move(file));
    }
    for (auto& file : written) {
        // commit() syncs the temporary file to disk and renames it over the old file.
        if (!file->commit())
            return InstallFailure{file->fileName(), file->errorString()};
    }
    return std::nullopt;
}

}
