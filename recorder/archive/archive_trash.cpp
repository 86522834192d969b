// The file to the Trash, or deleted where there is none.

#include "archive/archive_trash.h"

#include <QDir>
#include <QFile>
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
    if (QFile::moveToTrash(QFile::decodeName(path)))
        return {TrashResult::Outcome::Trashed, {}};
    if (homeTrashAvailable())
        return {TrashResult::Outcome::Failed, QStringLiteral("it could not be moved to the Trash")};
    if (::unlink(path.constData()) != 0)
        return {TrashResult::Outcome::Failed, errorText(errno)};
    return {TrashResult::Outcome::Deleted, {}};
}

}
