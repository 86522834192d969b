// Message boxes of the shell.

#include "app/messages.h"

#include <QMessageBox>

#ifndef WAVELARK_BUILD_DATE
#define WAVELARK_BUILD_DATE __DATE__
#endif

namespace wavelark {

const char kAlreadyRunningCaption[] = "Wavelark Already Running";
const char kAlreadyRunningText[] =
    "An Instance of Wavelark is already running.\n\nIf it is not showing up in your panel you will need\n"
    "to close it by following the steps below:\n\n1. Open your desktop's SYSTEM MONITOR\n\n2. In the "
    "Processes list,\nselect 'wavelark'\n\n3. Click 'End Process'\n\n4. Try running Wavelark again";
const char kRestartCaption[] = "Changes Require Restart";
const char kRestartText[] = "The changes you have made will not take\neffect until you restart the program.";

void showAlreadyRunning(const QString& problem)
{
    QString text = QString::fromLatin1(kAlreadyRunningText);
    if (!problem.isEmpty())
        text += QStringLiteral("\n\n(") + problem + QLatin1Char(')');
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kAlreadyRunningCaption), text, QMessageBox::Ok);
    box.exec();
}

void showRestartNotice(QWidget* owner)
{
    QMessageBox::information(owner, QString::fromLatin1(kRestartCaption), QString::fromLatin1(kRestartText));
}

QString aboutHeadline()
{
    return QStringLiteral("Wavelark 2.0 - Build ") + QStringLiteral(WAVELARK_BUILD_DATE);
}

void showAbout(QWidget* owner)
{
    const QString text = aboutHeadline()
        + QStringLiteral("\n\nA sound recorder for records, tapes, radio and microphones.\n\n"
                         "Built with Qt, PortAudio, FFmpeg and LAME.\n"
                         "Level meters, skin and user guide by the Wavelark developers.");
    QMessageBox::information(owner, QStringLiteral("About"), text);
}

void showToolkitFailure(const QString& detail)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("ERROR"),
                    detail + QStringLiteral("\n\nWavelark cannot start without its audio toolkit."), QMessageBox::Ok);
    box.exec();
}

}
