// Checking the installed recorder's libraries and starting it.

#include "installed_program.h"

#include "setup_payload.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace wavelark::setup {

QStringList missingLibraries(const QString& program)
{
    QProcess loader;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
    loader.setProcessEnvironment(environment);
    loader.setProgram(program);
    loader.start();
    if (!loader.waitForFinished(10000)) {
        loader.kill();
        loader.waitForFinished(1000);
        return {};
    }
    // Lines of the form "\tlibname.so.1 => not found".
    static const QRegularExpression notFound(QStringLiteral("^\\s*(\\S+)\\s+=>\\s+not found"),
                                             QRegularExpression::MultilineOption);
    QStringList missing;
    const QString listing = QString::fromLocal8Bit(loader.readAllStandardOutput());
    for (auto match = notFound.globalMatch(listing); match.hasNext();)
        missing << match.next().captured(1);
    return missing;
}

ProgramStart startInstalledProgram(const QString& installFolder)
{
    ProgramStart start;
    const QString program = installFolder + QLatin1String(kRecorderFileName);
    if (!QFileInfo(program).isExecutable()) {
        start.reason = QStringLiteral("%1 is missing or not executable.").arg(program);
        return start;
    }
    const QStringList missing = missingLibraries(program);
    if (!missing.isEmpty()) {
        start.reason = QStringLiteral("The system lacks libraries Wavelark needs: %1.\n"
                                      "Install them with the system's package manager.")
                           .arg(missing.join(QStringLiteral(", ")));
        return start;
    }
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(installFolder);
    start.started = process.startDetached(&start.processId);
    if (!start.started)
        start.reason = process.errorString();
    return start;
}

}
