// The single-instance lock.

#include "shell/instance_guard.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace wavelark {

InstanceGuard::~InstanceGuard()
{
    if (m_descriptor >= 0)
        close(m_descriptor);
}

QString InstanceGuard::lockPath()
{
    QString folder = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QLatin1Char('/') + QLatin1String(kInstanceLockName);
}

bool InstanceGuard::acquire()
{
    if (m_descriptor >= 0)
        return true;
    // Opening an existing lock file changes nothing in it, so a second instance touches no file.
    const int descriptor = open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return true;
    while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const bool heldElsewhere = errno == EWOULDBLOCK;
        close(descriptor);
        return !heldElsewhere;
    }
    m_descriptor = descriptor;
    return true;
}

}
