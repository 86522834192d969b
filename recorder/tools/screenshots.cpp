// Takes the screenshots of the documentation: the welcome dialog, the main window, the main
// window with its menus open, the About box, the main window with a take, a selection and a
// filled archive list, and the "Save Audio" dialog; then a record side cut into its tracks by
// "Find Tracks" with the "Save Tracks" dialog, and a recording from a named device shown on dBFS
// meters. Runs the real program in-process on Qt's
// offscreen platform with the test audio device, in a temporary root that holds a user's home
// (<root>/home/anna) with the program's data folder and a Music folder of a few tracks, encoded
// by the toolkit as a save would. Nothing is written outside the temporary root.
//
// Usage: wavelark_screenshots <output folder>

#include "core/identifiers.h"
#include "core/toolkit_binding.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/recorder_application.h"
#include "session/take_session.h"
#include "widgets/waveform_view.h"

#include "sorvak_widgets.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
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

// The home folder of the user the pictures show, inside the temporary root.
const QString kHome = QStringLiteral("/home/anna");

// The root's user: $HOME at <root>/home/anna, its Music folder the default archive folder, the data
// folder where the program keeps it for a user (~/.local/share/wavelark/), XDG folders of its own.
void setUpEnvironment(const QString& root)
{
    const QString home = root + kHome;
    for (const QString& folder : {home + QStringLiteral("/Music"), home + QStringLiteral("/.local/share/wavelark"),
                                  home + QStringLiteral("/.config"), root + QStringLiteral("/runtime"),
                                  root + QStringLiteral("/staging")})
        QDir().mkpath(folder);
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("HOME", qPrintable(home), 1);
    setenv("WAVELARK_HOME", qPrintable(home + QStringLiteral("/.local/share/wavelark")), 1);
    setenv("XDG_DATA_HOME", qPrintable(home + QStringLiteral("/.local/share")), 1);
    // No user-dirs.dirs in it: the music folder is $HOME/Music.
    setenv("XDG_CONFIG_HOME", qPrintable(home + QStringLiteral("/.config")), 1);
    setenv("XDG_RUNTIME_DIR", qPrintable(root + QStringLiteral("/runtime")), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The sound card the pictures record from: two named inputs, the first of them chosen by name
    // (choices.ini), playing a WAV file of music-like sound.
    setenv("WAVELARK_AUDIO",
           qPrintable(QStringLiteral("test:input=wav,%1/staging/input.wav;inputnames=USB Audio CODEC|HDA Intel PCH Analog")
                          .arg(root)),
           1);
    QFile choices(home + QStringLiteral("/.local/share/wavelark/choices.ini"));
    if (choices.open(QIODevice::WriteOnly))
        choices.write("record-device=USB Audio CODEC\n");
}

// A canonical 44-byte-header WAV file of 16-bit stereo frames at 44100 Hz.
bool writeWav(const QString& path, const QByteArray& frames)
{
    QByteArray header(44, '\0');
    const auto put32 = [&header](int offset, quint32 value) {
        for (int index = 0; index < 4; ++index)
            header[offset + index] = static_cast<char>(value >> (8 * index));
    };
    header.replace(0, 4, "RIFF").replace(8, 8, "WAVEfmt ").replace(36, 4, "data");
    put32(4, static_cast<quint32>(36 + frames.size()));
    put32(16, 16);
    put32(20, 1 | (2 << 16));
    put32(24, 44100);
    put32(28, 44100 * 4);
    put32(32, 4 | (16 << 16));
    put32(40, static_cast<quint32>(frames.size()));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header + frames) == header.size() + frames.size();
}

// seconds of something like music: a few partials under a swelling and fading envelope.
QByteArray musicLikeFrames(double seconds, double seed)
{
    const int frames = static_cast<int>(seconds * 44100);
    QByteArray bytes(frames * 4, '\0');
    auto* samples = reinterpret_cast<qint16*>(bytes.data());
    for (int frame = 0; frame < frames; ++frame) {
        const double t = frame / 44100.0;
        const double envelope = 0.55 + 0.45 * std::sin(t * 0.9 + seed) * std::sin(t * 0.23 + seed * 2);
        const double left = std::sin(2 * M_PI * 220 * t) * 0.5 + std::sin(2 * M_PI * 330.5 * t) * 0.3
                            + std::sin(2 * M_PI * 440 * t + seed) * 0.2;
        const double right = std::sin(2 * M_PI * 221 * t) * 0.5 + std::sin(2 * M_PI * 329.5 * t) * 0.3
                             + std::sin(2 * M_PI * 660 * t) * 0.15;
        samples[frame * 2] = static_cast<qint16>(26000 * envelope * left);
        samples[frame * 2 + 1] = static_cast<qint16>(26000 * envelope * right);
    }
    return bytes;
}

// A record side: a needle drop, five songs of music-like sound with fade-ins and fade-outs between
// gaps of surface noise, and the run-out groove.
QByteArray recordSideFrames()
{
    QByteArray side;
    uint32_t noise = 12345;
    const auto surface = [&noise](double seconds) {
        QByteArray bytes(static_cast<int>(seconds * 44100) * 4, '\0');
        auto* samples = reinterpret_cast<qint16*>(bytes.data());
        for (int index = 0; index < bytes.size() / 2; ++index) {
            noise = noise * 1664525u + 1013904223u;
            const int hiss = static_cast<int>(noise >> 24) - 128;
            samples[index] = static_cast<qint16>(hiss * 2 + ((noise & 0xfff) == 7 ? 3000 : 0));
        }
        return bytes;
    };
    side += surface(2.0);
    const double songs[] = {48.0, 37.0, 55.0, 42.0, 33.0};
    for (int song = 0; song < 5; ++song) {
        QByteArray music = musicLikeFrames(songs[song], song * 1.7);
        auto* samples = reinterpret_cast<qint16*>(music.data());
        const int frames = music.size() / 4;
        for (int frame = 0; frame < frames; ++frame) {
            const double fade = std::min({1.0, frame / 44100.0, (frames - frame) / (3.0 * 44100)});
            samples[frame * 2] = static_cast<qint16>(samples[frame * 2] * fade);
            samples[frame * 2 + 1] = static_cast<qint16>(samples[frame * 2 + 1] * fade);
        }
        side += music;
        side += surface(song == 4 ? 5.0 : 2.5);
    }
    return side;
}

// The archive the pictures show: a few tracks of a record and a radio programme saved as MP3 and
// WMA by the toolkit's encoders (as Save writes them) and a cassette kept as WAV. The WAV sources
// are written in root's staging folder.
bool writeArchive(const QString& root, const QString& music)
{
    const wavelark::ToolkitBindResult binding = wavelark::bindToolkit();
    if (!binding.ok()) {
        std::fprintf(stderr, "cannot load the toolkit: %s\n", qPrintable(binding.loadError));
        return false;
    }
    const struct {
        const char* name;
        double seconds;
    } archived[] = {{"Side A - Blue Train.mp3", 192.0},
                    {"Side A - Moment's Notice.mp3", 151.0},
                    {"Side B - Locomotion.mp3", 143.0},
                    {"Radio Session - 14 March.wma", 95.0},
                    {"Cassette Demo 1994.wav", 48.0}};
    bool written = true;
    for (const auto& file : archived) {
        const QString name = QString::fromUtf8(file.name);
        const QString destination = music + name;
        const QByteArray frames = musicLikeFrames(file.seconds, file.seconds);
        if (name.endsWith(QLatin1String(".wav"))) {
            written = writeWav(destination, frames);
        } else {
            const QString source = root + QStringLiteral("/staging/source.wav");
            const QByteArray from = QFile::encodeName(source);
            const QByteArray to = QFile::encodeName(destination);
            // MP3 at the Save dialog's HIGH quality, WMA at its one quality.
            written = writeWav(source, frames)
                      && (name.endsWith(QLatin1String(".mp3"))
                              ? wavelark::g_toolkit.WAV2MP3(from.constData(), to.constData(), 256, 44100, nullptr)
                              : wavelark::g_toolkit.WAV2WMA(from.constData(), to.constData(), 192, nullptr))
                             == 0
                      // WAV2MP3 also returns 0 without the encoder library, writing nothing.
                      && QFile::exists(destination);
        }
        if (!written) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(destination));
            break;
        }
    }
    wavelark::releaseToolkit();
    return written;
}

// The side cut into its tracks by "Find Tracks", the "Save Tracks" dialog over it, then a take
// recorded from the named device with the meters on their dBFS scale; closes the window at the end.
void tracksAndRecording(wavelark::MainWindow* window, QTimer& freeze)
{
    wavelark::WaveformView* view = window->waveformView();
    view->setSelection(0, 0);
    view->drawSelection();
    window->command(wavelark::ids::kFindTracks);
    later(300, [window, &freeze] {
        save(window->grab().toImage(), "main-window-tracks.png");
        later(300, [window, &freeze] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                save(composeScreen(window, {dialog}), "save-tracks-dialog.png");
                dialog->close();
            }
            later(100, [window, &freeze] {
                freeze.stop();
                window->command(wavelark::ids::kMeterScaleDecibels);
                // "Confirm Record?" over the side: answered Yes.
                later(200, [] {
                    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                        box->button(QMessageBox::Yes)->click();
                });
                window->command(wavelark::ids::kRecordButton);
                later(2500, [window] {
                    save(window->grab().toImage(), "main-window-recording-dbfs.png");
                    window->command(wavelark::ids::kRecordButton);
                    later(1500, [window] { window->close(); });
                });
            });
        });
        window->command(wavelark::ids::kSaveTracks);
    });
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
    // A take to draw and an archive to list.
    {
        QFile take(root.path() + kHome + QStringLiteral("/.local/share/wavelark/recording.raw"));
        if (!take.open(QIODevice::WriteOnly) || take.write(recordSideFrames()) < 0)
            return 1;
        if (!writeWav(root.path() + QStringLiteral("/staging/input.wav"), musicLikeFrames(20.0, 0.4)))
            return 1;
        if (!writeArchive(root.path(), root.path() + kHome + QStringLiteral("/Music/")))
            return 1;
    }

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
    // The label names the archive folder as it is on this machine, inside the temporary root; the
    // pictures show it as the user's own home would give it.
    if (auto* folder = qobject_cast<QLabel*>(sorvak::findControl(window, wavelark::ids::kArchiveFolderText)))
        folder->setText(folder->text().replace(root.path() + kHome + QLatin1Char('/'), kHome + QLatin1Char('/')));
    wavelark::LevelPeaks& levels = window->session()->levels();
    // Still meters look dull: show the levels a programme of music would leave.
    QTimer freeze;
    QObject::connect(&freeze, &QTimer::timeout, [&levels] { levels.set(0.74, 0.66); });
    freeze.start(5);

    later(300, [window] { save(window->grab().toImage(), "main-window.png"); });
    later(400, [window] {
        QMenuBar* bar = window->menuBar();
        QAction* settings = bar->actions().at(2);  // after "File" and "Take"
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
        QAction* help = bar->actions().at(3);
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
        });
        window->command(wavelark::ids::kAbout);
    });
    later(1800, [window, &freeze] {
        wavelark::WaveformView* view = window->waveformView();
        view->setSelection(140, 360);
        view->drawSelection();
        view->compose();
        view->clearStatusCache();
        view->updateStatus();
        later(200, [window, &freeze] {
            save(window->grab().toImage(), "main-window-take.png");
            later(300, [window, &freeze] {
                if (QWidget* dialog = QApplication::activeModalWidget()) {
                    save(composeScreen(window, {dialog}), "save-dialog.png");
                    dialog->close();
                }
                later(100, [window, &freeze] { tracksAndRecording(window, freeze); });
            });
            window->command(wavelark::ids::kSaveButton);
        });
    });
    QApplication::exec();
    recorder.shutDown();
    return g_ok ? 0 : 1;
}
