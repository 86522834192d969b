// The recorder's real entry run as a child process of the tests. Every modal window it shows is
// recorded (title and text, one line each, into $WAVELARK_TEST_MESSAGES) and closed, and once the
// main window is shown the file $WAVELARK_TEST_READY is created.

#include "app/recorder_application.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString messages = qEnvironmentVariable("WAVELARK_TEST_MESSAGES");
    const QString ready = qEnvironmentVariable("WAVELARK_TEST_READY");
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            QFile file(messages);
            if (file.open(QIODevice::Append)) {
                const auto* box = qobject_cast<QMessageBox*>(modal);
                QString text = box ? box->text() : QString();
                file.write((modal->windowTitle() + QLatin1Char('\n') + text.replace(QLatin1Char('\n'), QLatin1Char('|'))
                            + QLatin1Char('\n'))
                               .toUtf8());
            }
            modal->close();
        }
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMainWindow*>(window) && window->isVisible() && !ready.isEmpty() && !QFile::exists(ready)) {
                QFile marker(ready);
                if (!marker.open(QIODevice::WriteOnly))
                    return;
            }
        }
    });
    watcher.start(20);
    return wavelark::wavelarkMain(argc, argv);
}
