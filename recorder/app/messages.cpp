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
const char kInstanceLockFailureCaption[] = "Wavelark Cannot Start";
const char kRestartCaption[] = "Changes Require Restart";
const char kRestartText[] = "The changes you have made will not take\neffect until you restart the program.";

void showAlreadyRunning()
{
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kAlreadyRunningCaption),
                    QString::fromLatin1(kAlreadyRunningText), QMessageBox::Ok);
    box.exec();
}

void showInstanceLockFailure(const QString& problem)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kInstanceLockFailureCaption),
                    QStringLiteral("Wavelark cannot make sure that no other copy of it uses its data folder, so it "
                                   "does not start.\n\n")
                        + problem,
                    QMessageBox::Ok);
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
