#include "session/work_marks.h"

#include "take/pcm_blocks.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace wavelark {

namespace {

constexpr char kImportMark[] = "import\n";
constexpr char kImportReplacingMark[] = "replaced\n";

QString writeMark(const QString& path, const QByteArray& content, const QString& folder)
{
    QFile mark(path);
    if (!mark.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return mark.errorString();
    if (mark.write(content) != content.size() || !mark.flush())
        return mark.errorString();
    // The mark must outlast a power loss as the work it marks does.
    if (::fsync(mark.handle()) != 0 || !syncFolder(QFile::encodeName(folder).toStdString()))
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString();
}

bool removeLeftOver(const QString& path)
{
    return QFile::remove(path) || !QFile::exists(path);
}

}

QString writeTakeMark(const DataPaths& paths, TakeChange change)
{
    return writeMark(paths.recordingMark(), change == TakeChange::Import ? QByteArray(kImportMark) : QByteArray(),
                     paths.folder);
}

std::optional<TakeChange> readTakeMark(const DataPaths& paths)
{
    QFile mark(paths.recordingMark());
    if (!mark.exists())
        return std::nullopt;
    if (mark.open(QIODevice::ReadOnly) && mark.read(64) == kImportMark)
        return TakeChange::Import;
    return TakeChange::Recording;
}

QString writeSavingMark(const DataPaths& paths, const QString& sidePath)
{
    return writeMark(paths.savingMark(), sidePath.toUtf8(), paths.folder);
}

bool removeMark(const QString& path)
{
    return removeLeftOver(path);
}

std::optional<InterruptedSave> clearInterruptedSave(const DataPaths& paths)
{
    QFile mark(paths.savingMark());
    if (!mark.exists())
        return std::nullopt;
    InterruptedSave save;
    QString sidePath;
    if (mark.open(QIODevice::ReadOnly))
        sidePath = QString::fromUtf8(mark.read(65536));
    mark.close();
    // Only the save's own side file is ever removed from the archive folder.
    if (sidePath.endsWith(QLatin1String(".part"))) {
        save.fileName = QFileInfo(sidePath.chopped(5)).fileName();
        if (!removeLeftOver(sidePath))
            save.leftOver << sidePath;
    }
    for (const QString& path : {paths.temporaryWav(), paths.savingMark()}) {
        if (!removeLeftOver(path))
            save.leftOver << path;
    }
    return save;
}

QString writeImportReplacingMark(const DataPaths& paths)
{
    return writeMark(paths.recordingMark(), QByteArray(kImportReplacingMark), paths.folder);
}

bool takeMarkSaysImportReplacing(const DataPaths& paths)
{
    QFile mark(paths.recordingMark());
    return mark.open(QIODevice::ReadOnly) && mark.read(64) == kImportReplacingMark;
}

}
