// Audio files handed to the recorder from outside: a file named on the command line (the desktop's
// "Open with Wavelark") is imported once the window is up, after the import's usual confirmation.
// A second start with a file, while a recorder runs on the same data folder, hands the file to the
// running one over a local socket and ends; the running recorder raises its window and imports it.
//
// The socket lives in the user's runtime folder under a name made from the data folder, so that
// recorders on different data folders never take each other's files. Only the process holding the
// data folder's instance lock listens, which makes removing a stale socket at listen safe.
//
// Thread: the window thread.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QLocalServer;
class QWidget;

namespace wavelark {

class TakeSession;

// The first argument after the program's name that is not an option ("-..."), or everything after
// "--": a path, or a file: URL as some launchers hand over, made absolute against the current
// folder. Empty when there is none.
QString fileToOpen(const QStringList& arguments);

// The local socket's path for the data folder (which ends with '/').
QString handoffSocketPath(const QString& dataFolder);

// Hands path to the recorder listening for dataFolder; true when it took the file (it answers
// once it has read the whole path), false when no recorder answered within timeoutMs.
bool handFileToRunningRecorder(const QString& dataFolder, const QString& path, int timeoutMs = 3000);

// The running recorder's end: every whole path a second start sends reaches the handler.
class FileReceiver : public QObject {
public:
    using Handler = std::function<void(const QString& path)>;
    explicit FileReceiver(Handler handler);
    ~FileReceiver() override;

    // Starts listening for dataFolder; false (and problem says why) when the socket cannot be
    // made: a second start then says that the recorder runs already, as it did before.
    bool listen(const QString& dataFolder, QString* problem = nullptr);

private:
    void takeConnection();

    Handler m_handler;
    QLocalServer* m_server;
};

// Imports path in place of the take after "Confirm Import", as the Import button does, with the
// window raised; while a recording, a save or an import runs (the Import button is disabled) or a
// dialog is open, the file is not imported and a message that does not block (the work under way
// goes on) names it and says why.
void openFileInWindow(QWidget& window, TakeSession& session, bool importAllowed, const QString& path);

}
