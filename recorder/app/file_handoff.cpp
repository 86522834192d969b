#include "app/file_handoff.h"

#include "session/take_session.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace wavelark {
namespace {

// A path longer than this is not a path a second start sends.
constexpr qint64 kLongestMessage = 64 * 1024;
constexpr char kTaken[] = "taken\n";

}

QString fileToOpen(const QStringList& arguments)
{
    bool optionsEnded = false;
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument.isEmpty() || (!optionsEnded && argument.startsWith(QLatin1Char('-'))))
            continue;
        const QUrl url(argument);
        const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
        return QFileInfo(path).absoluteFilePath();
    }
    return {};
}

QString handoffSocketPath(const QString& dataFolder)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray hash = QCryptographicHash::hash(QFileInfo(dataFolder).absoluteFilePath().toUtf8(),
                                                     QCryptographicHash::Sha1);
    return folder + QStringLiteral("/wavelark-open-") + QString::fromLatin1(hash.toHex().left(16));
}

bool handFileToRunningRecorder(const QString& dataFolder, const QString& path, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const auto left = [&] { return std::max(1, timeoutMs - int(elapsed.elapsed())); };
    QLocalSocket socket;
    socket.connectToServer(handoffSocketPath(dataFolder));
    if (!socket.waitForConnected(left()))
        return false;
    socket.write(path.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(left()))
        return false;
    QByteArray answer;
    while (!answer.endsWith('\n') && socket.waitForReadyRead(left()))
        answer += socket.readAll();
    return answer == kTaken;
}

FileReceiver::FileReceiver(Handler handler)
    : m_handler(std::move(handler))
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] { takeConnection(); });
}

FileReceiver::~FileReceiver() = default;

bool FileReceiver::listen(const QString& dataFolder, QString* problem)
{
    const QString path = handoffSocketPath(dataFolder);
    QLocalServer::removeServer(path);
    if (m_server->listen(path))
        return true;
    if (problem)
        *problem = m_server->errorString();
    return false;
}

void FileReceiver::takeConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->bytesAvailable() > kLongestMessage) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            const QString path = QString::fromUtf8(socket->readLine()).chopped(1);
            socket->write(kTaken);
            socket->flush();
            socket->disconnectFromServer();
            // Out of the socket's signal: the import asks its question in an event loop of its own.
            if (!path.isEmpty())
                QTimer::singleShot(0, this, [this, path] { m_handler(path); });
        });
    }
}

void openFileInWindow(QWidget& window, TakeSession& session, bool importAllowed, const QString& path)
{
    window.showNormal();
    window.raise();
    window.activateWindow();
    if (!importAllowed || QApplication::activeModalWidget()) {
        // Not modal: a save or an import that pumps events around this call goes on meanwhile.
        auto* box = new QMessageBox(QMessageBox::Warning, QString::fromLatin1(kImportCaption),
                                    QStringLiteral("%1 was not imported: Wavelark is recording, saving or importing, or a "
                                                   "dialog is open.\n\nImport it with the Import button once that has finished.")
                                        .arg(path),
                                    QMessageBox::Ok, &window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
        return;
    }
    session.import(path);
}

}
