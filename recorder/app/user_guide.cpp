// Finding and opening the user guide.

#include "app/user_guide.h"

#include "core/data_folders.h"
#include "core/desktop_opener.h"

#include <QMessageBox>
#include <QWidget>
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

void openUserGuide(QWidget* owner, const QString& dataFolder, const QString& anchor)
{
    openLink(owner, userGuideUrl(dataFolder, anchor), QStringLiteral("the user guide"));
}

void openLink(QWidget* owner, const QUrl& url, const QString& what)
{
    openOnDesktop(url, owner, [owner, what, url](const QString& reason) {
        QMessageBox::warning(owner, QStringLiteral("ERROR"),
                             QStringLiteral("Wavelark could not open %1 (%2):\n\n%3")
                                 .arg(what, reason, url.toDisplayString(QUrl::PreferLocalFile)));
    });
}

}
