// The setup program's entry: the "Program Setup" dialog until it is closed or has installed.
//
// With WAVELARK_EXIT_AFTER_FIRST_PAINT=1 (the start-up benchmark) the program prints "first
// paint after <ms> ms", the time since main() began, once the dialog is first painted, and ends.

#include "setup_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <cstdio>

namespace {

class FirstPaintExit : public QObject {
public:
    explicit FirstPaintExit(QElapsedTimer started)
        : m_started(started)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            // Printed once the paint has been done, from the event loop.
            QTimer::singleShot(0, [this] {
                std::printf("first paint after %.1f ms\n", m_started.nsecsElapsed() / 1e6);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_started;
    bool m_painted = false;
};

}

int main(int argc, char** argv)
{
    QElapsedTimer started;
    started.start();
    QApplication application(argc, argv);
    wavelark::setup::SetupDialog dialog;
    FirstPaintExit firstPaint(started);
    if (qEnvironmentVariableIntValue("WAVELARK_EXIT_AFTER_FIRST_PAINT") != 0)
        dialog.installEventFilter(&firstPaint);
    dialog.show();
    return application.exec();
}
