// Finding the data folder, the archive folder's default and the mixer program.

#include "core/data_folders.h"

#include "core/toolkit_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace wavelark {

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool writableFolder(const QString& folder)
{
    return !folder.isEmpty() && access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

}

QString programFolder()
{
    return withSlash(QCoreApplication::applicationDirPath());
}

QString findDataFolder()
{
    QString folder;
    const QByteArray home = qgetenv("WAVELARK_HOME");
    if (!home.isEmpty()) {
        folder = QFile::decodeName(home);
    } else if (const QString program = QCoreApplication::applicationDirPath();
               writableFolder(program) && QFileInfo::exists(withSlash(program) + QLatin1String(kToolkitLibraryName))) {
        // An installation made by setup: the program and its toolkit in one folder of the user's.
        // A system folder the user happens to be able to write (/usr/bin for root) is not one.
        folder = program;
    } else {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/wavelark");
    }
    QDir().mkpath(folder);
    return withSlash(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

QString defaultArchiveFolder()
{
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QDir::homePath() + QStringLiteral("/Music");
    return withSlash(music);
}

QString findMixerProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("pavucontrol"));
}

}
