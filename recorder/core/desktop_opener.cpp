#include "core/desktop_opener.h"

#include <QPointer>
#include <QProcess>
#include <QStandardPaths>

namespace wavelark {

void openOnDesktop(const QUrl& url, QObject* context, std::function<void(const QString& reason)> failed)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        failed(QStringLiteral("the desktop's opener (xdg-open) is not installed"));
        return;
    }
    // Owned by context until it finishes; the handler it starts outlives it.
    auto* process = new QProcess(context);
    process->setProgram(opener);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardOutputFile(QProcess::nullDevice());
    auto report = std::make_shared<std::function<void(const QString&)>>(std::move(failed));
    QObject::connect(process, &QProcess::finished, process, [process, report](int exitCode, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || exitCode != 0) {
            const QString detail = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
            (*report)(detail.isEmpty() ? QStringLiteral("the desktop has no program for it") : detail);
        }
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        (*report)(process->errorString());
        process->deleteLater();
    });
    process->start();
}

}
