// The file to the Trash, or deleted where there is none.

#include "archive/archive_trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wavelark {

namespace {

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The home Trash ($XDG_DATA_HOME/Trash) exists or can be made.
bool homeTrashAvailable()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return !dataHome.isEmpty() && QDir().mkpath(dataHome + QStringLiteral("/Trash/files"))
           && QDir().mkpath(dataHome + QStringLiteral("/Trash/info"));
}

}

TrashResult moveFileToTrash(const QByteArray& path)
{
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0)
        return {TrashResult::Outcome::Failed, errorText(errno)};
    if (!S_ISREG(status.st_mode))
        return {TrashResult::Outcome::Failed, QStringLiteral("it is not a file")};
    // Qt cannot tell a missing Trash from a made one: where it can make none it moves the file
    // into "files" under the working folder. So the home Trash is made first, and without it
    // there is none.
    if (!homeTrashAvailable()) {
        if (::unlink(path.constData()) != 0)
            return {TrashResult::Outcome::Failed, errorText(errno)};
        return {TrashResult::Outcome::Deleted, {}};
    }
    const QString name = QFile::decodeName(path);
    QString inTrash;
    if (!QFile::moveToTrash(name, &inTrash))
        return {TrashResult::Outcome::Failed, QStringLiteral("it could not be moved to the Trash")};
    if (QDir::isRelativePath(inTrash)) {
        // Not a Trash after all: the file goes back where it was.
        const QString moved = QFileInfo(inTrash).absoluteFilePath();
        if (!QFile::rename(moved, name))
            return {TrashResult::Outcome::Failed, QStringLiteral("it was moved to %1, not to the Trash").arg(moved)};
        return {TrashResult::Outcome::Failed, QStringLiteral("it could not be moved to the Trash")};
    }
    return {TrashResult::Outcome::Trashed, {}};
}

}
