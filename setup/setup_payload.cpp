// The setup program's embedded files and its paths.

#include "setup_payload.h"

#include <QDir>
#include <QFile>

namespace wavelark::setup {

QList<PayloadFile> payloadFiles()
{
    constexpr auto program = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                             | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                             | QFileDevice::ExeOther;
    constexpr auto library = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                             | QFileDevice::ReadOther;
    return {
        {QStringLiteral(":/BINARY/113"), QString::fromLatin1(kRecorderFileName), program},
        {QStringLiteral(":/BINARY/115"), QStringLiteral("libmp3lame.so.0"), library},
        {QStringLiteral(":/BINARY/116"), QStringLiteral("libsorvak.so"), library},
    };
}

QString licenceText()
{
    QFile file(QString::fromLatin1(kLicenceResource));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString initialInstallPath()
{
    return installPathOf(QDir::homePath());
}

QString installPathOf(const QString& folder)
{
    QString path = QDir::cleanPath(folder);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString installFolderOf(const QString& installPath)
{
    return installPath + QLatin1String(kInstallFolderName);
}

}
