// The recorder's real entry run as a child process of the tests. Every modal window it shows is
// recorded (title and text, one line each, into $WAVELARK_TEST_MESSAGES) and closed, and once the
// main window is shown the file $WAVELARK_TEST_READY is created. With $WAVELARK_TEST_RECORD set,
// Record is then clicked once and its confirmation answered Yes, as a user would start a take.
// With $WAVELARK_TEST_KEEP_BOXES set, each modal window is recorded once and left open, as for a
// user who never answers it. With $WAVELARK_TEST_SAVE_TRACKS set, "File" > "Save Tracks..." is
// chosen once the window is shown and its dialog saved as it opens; the progress box that follows
// is left open, as closing it would cancel the batch.

#include "app/recorder_application.h"

#include "core/identifiers.h"

#include "sorvak_widgets.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <utility>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString messages = qEnvironmentVariable("WAVELARK_TEST_MESSAGES");
    const QString ready = qEnvironmentVariable("WAVELARK_TEST_READY");
    const bool record = qEnvironmentVariableIsSet("WAVELARK_TEST_RECORD");
    const bool keepBoxes = qEnvironmentVariableIsSet("WAVELARK_TEST_KEEP_BOXES");
    bool recordToClick = record;
    bool saveTracksToChoose = qEnvironmentVariableIsSet("WAVELARK_TEST_SAVE_TRACKS");
    QPointer<QWidget> lastRecorded;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QWidget* active = QApplication::activeModalWidget();
        if (auto* saveTracks = active ? active->findChild<QPushButton*>(QStringLiteral("saveButton")) : nullptr) {
            saveTracks->click();
            return;
        }
        if (qobject_cast<QProgressDialog*>(active))
            return;
        if (QWidget* modal = active; modal && modal->isVisible() && modal != lastRecorded) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QFile file(messages);
            if (file.open(QIODevice::Append)) {
                QString text = box ? box->text() : QString();
                file.write((modal->windowTitle() + QLatin1Char('\n') + text.replace(QLatin1Char('\n'), QLatin1Char('|'))
                            + QLatin1Char('\n'))
                               .toUtf8());
            }
            if (record && box && box->text() == QStringLiteral("Confirm Record?"))
                box->button(QMessageBox::Yes)->click();
            else if (keepBoxes)
                lastRecorded = modal;
            else
                modal->close();
        }
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMainWindow*>(window) && window->isVisible() && !ready.isEmpty() && !QFile::exists(ready)) {
                QFile marker(ready);
                if (!marker.open(QIODevice::WriteOnly))
                    return;
            }
            if (qobject_cast<QMainWindow*>(window) && window->isVisible() && std::exchange(saveTracksToChoose, false)) {
                for (QAction* action : window->findChildren<QAction*>())
                    if (action->property("commandId").toInt() == wavelark::ids::kSaveTracks && action->isEnabled())
                        QTimer::singleShot(0, action, &QAction::trigger);
            }
            if (qobject_cast<QMainWindow*>(window) && window->isVisible() && std::exchange(recordToClick, false)) {
                // Posted: the click runs the confirmation's own event loop, where this timer must fire.
                QTimer::singleShot(0, window, [window] {
                    static_cast<QAbstractButton*>(sorvak::findControl(window, wavelark::ids::kRecordButton))->click();
                });
            }
        }
    });
    watcher.start(20);
    return wavelark::wavelarkMain(argc, argv);
}
