// Finding and opening the user guide.

#include "shell/user_guide.h"

#include "shell/data_folders.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>

namespace wavelark {

QUrl userGuideUrl(const QString& dataFolder, const QString& anchor)
{
    QString path = programFolder() + QLatin1String(kUserGuideFileName);
    if (!QFileInfo::exists(path)) {
        path = dataFolder + QLatin1String(kUserGuideFileName);
        QFile::remove(path);
        if (QFile::copy(QStringLiteral(":/guide/") + QLatin1String(kUserGuideFileName), path))
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

bool openUserGuide(const QString& dataFolder, const QString& anchor)
{
    return QDesktopServices::openUrl(userGuideUrl(dataFolder, anchor));
}

}
