// Takes the screenshots of the documentation: the welcome dialog, the main window, the main
// window with its menus open and the About box. Runs the real program in-process on Qt's
// offscreen platform with the test audio device and a temporary data folder.
//
// Usage: wavelark_screenshots <output folder>

#include "core/identifiers.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/recorder_application.h"
#include "session/take_session.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

QDir g_output;
bool g_ok = true;

void save(const QImage& image, const char* name)
{
    const QString path = g_output.filePath(QString::fromLatin1(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        g_ok = false;
        return;
    }
    std::printf("wrote %s\n", qPrintable(path));
}

// The window with every visible pop-up menu and dialog drawn over it where the screen shows it.
QImage composeScreen(QWidget* window, const QList<QWidget*>& overlays)
{
    QRect area = window->geometry();
    for (QWidget* overlay : overlays)
        area |= overlay->geometry();
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(QColor(90, 96, 110));
    QPainter painter(&image);
    painter.drawPixmap(window->geometry().topLeft() - area.topLeft(), window->grab());
    for (QWidget* overlay : overlays) {
        const QPoint at = overlay->geometry().topLeft() - area.topLeft();
        painter.fillRect(QRect(at + QPoint(3, 3), overlay->size()), QColor(0, 0, 0, 60));
        painter.drawPixmap(at, overlay->grab());
    }
    return image;
}

// Runs action once the event loop has drawn everything waiting.
void later(int milliseconds, std::function<void()> action)
{
    QTimer::singleShot(milliseconds, qApp, std::move(action));
}

void setUpEnvironment(const QString& root)
{
    for (const char* folder : {"home", "data", "config", "runtime", "Music"})
        QDir(root).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("WAVELARK_HOME", qPrintable(root + QStringLiteral("/home")), 1);
    setenv("XDG_DATA_HOME", qPrintable(root + QStringLiteral("/data")), 1);
    setenv("XDG_CONFIG_HOME", qPrintable(root + QStringLiteral("/config")), 1);
    setenv("XDG_RUNTIME_DIR", qPrintable(root + QStringLiteral("/runtime")), 1);
    setenv("HOME", qPrintable(root), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("WAVELARK_AUDIO", "test", 1);
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    setUpEnvironment(root.path());
    QApplication application(argc, argv);
    g_output = QDir(QString::fromLocal8Bit(argv[1]));
    g_output.mkpath(QStringLiteral("."));

    wavelark::RecorderApplication recorder;
    // The welcome dialog of a first start: photographed, then closed with "Start >>".
    later(300, [] {
        if (QWidget* welcome = QApplication::activeModalWidget()) {
            save(welcome->grab().toImage(), "welcome.png");
            welcome->close();
        }
    });
    if (!recorder.startUp())
        return 1;
    wavelark::MainWindow* window = recorder.mainWindow();
    wavelark::LevelPeaks& levels = window->session()->levels();
    // Still meters look dull: show the levels a programme of music would leave.
    QTimer freeze;
    QObject::connect(&freeze, &QTimer::timeout, [&levels] { levels.set(0.74, 0.66); });
    freeze.start(5);

    later(300, [window] { save(window->grab().toImage(), "main-window.png"); });
    later(400, [window] {
        QMenuBar* bar = window->menuBar();
        QAction* settings = bar->actions().at(1);
        QMenu* settingsMenu = settings->menu();
        settingsMenu->popup(window->mapToGlobal(bar->actionGeometry(settings).bottomLeft()));
        QAction* latency = settingsMenu->actions().at(2);
        settingsMenu->setActiveAction(latency);
        QMenu* latencyMenu = latency->menu();
        const QRect entry = settingsMenu->actionGeometry(latency);
        latencyMenu->popup(settingsMenu->mapToGlobal(entry.topRight() + QPoint(-2, -3)));
        later(200, [window, settingsMenu, latencyMenu] {
            save(composeScreen(window, {settingsMenu, latencyMenu}), "menu-settings.png");
            latencyMenu->close();
            settingsMenu->close();
        });
    });
    later(800, [window] {
        QMenuBar* bar = window->menuBar();
        QAction* help = bar->actions().at(2);
        help->menu()->popup(window->mapToGlobal(bar->actionGeometry(help).bottomLeft()));
        later(200, [window, help] {
            save(composeScreen(window, {help->menu()}), "menu-help.png");
            help->menu()->close();
        });
    });
    later(1200, [window] {
        later(300, [window] {
            if (QWidget* about = QApplication::activeModalWidget()) {
                save(composeScreen(window, {about}), "about.png");
                about->close();
            }
            later(100, [window] { window->close(); });
        });
        window->command(wavelark::ids::kAbout);
    });
    QApplication::exec();
    recorder.shutDown();
    return g_ok ? 0 : 1;
}
