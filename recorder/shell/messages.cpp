// Message boxes of the shell.

#include "shell/messages.h"

#include <QMessageBox>

#ifndef WAVELARK_BUILD_DATE
#define WAVELARK_BUILD_DATE __DATE__
#endif

namespace wavelark {

const char kAlreadyRunningCaption[] = "Wavelark Already Running";
const char kAlreadyRunningText[] =
    "An Instance of Wavelark is already running.\n\nIf it is not showing up in your Taskbar you will need\n"
    "to close it by following the steps below:\n\n1. Press CTRL+ALT+DELETE\n\n2. Run the TASK MANAGER and in "
    "the Process list,\nselect 'wavelark.exe'\n\n3. Click 'End Process'\n\n4. Try running Wavelark again";
const char kRestartCaption[] = "Changes Require Restart";
const char kRestartText[] = "The changes you have made will not take\neffect until you restart the program.";

void showAlreadyRunning()
{
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kAlreadyRunningCaption),
                    QString::fromLatin1(kAlreadyRunningText), QMessageBox::Ok);
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
