// Support for the recorder's tests: one QApplication for the process, a fresh data folder and
// music folder per test, settings files built from explicit offsets, and a recorder of the modal
// dialogs and message boxes the program shows (closed from a timer, their texts kept).
#pragma once

#include "support/temporary_folder.h"

#include <QAction>
#include <QByteArray>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QWidget;

namespace wavelark::testing {

// Creates the process's QApplication on first use.
void ensureApplication();

// A menu title's or entry's text as shown: without the '&' that marks its underlined letter
// ("&&" shows one '&').
inline QString shownText(const QString& text)
{
    QString shown;
    for (qsizetype index = 0; index < text.size(); ++index) {
        if (text[index] == QLatin1Char('&') && ++index == text.size())
            break;
        shown += text[index];
    }
    return shown;
}

// The top-level menu of menuBar whose shown title is title; null when there is none.
inline QMenu* menuTitled(const QMenuBar* menuBar, const QString& title)
{
    for (QAction* menu : menuBar->actions()) {
        if (shownText(menu->text()) == title)
            return menu->menu();
    }
    return nullptr;
}

// A fresh program home: WAVELARK_HOME = <folder>/home, HOME = <folder> (so the music folder is
// <folder>/Music/), PATH left as it was.
class RecorderHome {
public:
    RecorderHome();
    ~RecorderHome();
    std::filesystem::path home() const { return m_folder.path() / "home"; }
    std::filesystem::path settingsPath() const { return home() / "settings.dat"; }
    std::string musicFolder() const { return (m_folder.path() / "Music").string() + "/"; }
    const TemporaryFolder& folder() const { return m_folder; }

private:
    TemporaryFolder m_folder;
    std::string m_oldHome;
    std::string m_oldPath;
};

// Settings bytes built field by field at their offsets.
struct SettingsBytes {
    std::string bytes = std::string(3148, '\0');
    void putInt(std::size_t offset, int32_t value);
    void putText(std::size_t offset, const std::string& text);
    int32_t intAt(std::size_t offset) const;
    std::string textAt(std::size_t offset) const;
};
// The table's defaults for a new file, with the archive folder given.
SettingsBytes defaultSettingsBytes(const std::string& archiveFolder);
int32_t intAt(const std::string& bytes, std::size_t offset);

// Takes the place of the desktop's handler for the URL schemes it is given while it lives, and
// keeps every URL the program asked the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    explicit UrlRecorder(const QStringList& schemes);
    ~UrlRecorder() override;
    const QList<QUrl>& opened() const { return m_opened; }

public slots:
    void open(const QUrl& url) { m_opened << url; }

private:
    QStringList m_schemes;
    QList<QUrl> m_opened;
};

// The desktop's opener (xdg-open) as a script first on the PATH while it lives: it logs each URL
// it is given, one a line, and exits with exitCode.
class FakeOpener {
public:
    explicit FakeOpener(int exitCode);
    ~FakeOpener();
    std::filesystem::path log() const { return m_folder.path() / "opened.log"; }
    QStringList opened() const;

private:
    TemporaryFolder m_folder;
    QByteArray m_oldPath;
};

// Watches for modal windows while it lives; records each one's title and text (a message box's
// text, else empty) and closes it, or hands it to the action registered for its title.
class ModalRecorder : public QObject {
public:
    ModalRecorder();
    struct Seen {
        QString title;
        QString text;
    };
    const std::vector<Seen>& seen() const { return m_seen; }
    QStringList titles() const;
    // Instead of closing a window with this title, run action on it (which must close it). A
    // title ending in '*' stands for every title beginning with what comes before it.
    void onTitle(const QString& title, std::function<void(QWidget*)> action);

private:
    void poll();
    QTimer m_timer;
    std::vector<Seen> m_seen;
    std::map<QString, std::function<void(QWidget*)>> m_actions;
};

}
