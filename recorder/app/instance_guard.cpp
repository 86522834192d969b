// The single-instance locks.

#include "app/instance_guard.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace wavelark {

namespace {

enum class LockResult { Taken, HeldElsewhere, Failed };

// Opening an existing lock file changes nothing in it, so a second instance touches no file.
LockResult takeLock(const QString& path, int& descriptor, QString* problem)
{
    if (descriptor >= 0)
        return LockResult::Taken;
    const int opened = open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (opened < 0) {
        if (problem)
            *problem = QStringLiteral("The lock file %1 could not be created: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return LockResult::Failed;
    }
    while (flock(opened, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int failure = errno;
        close(opened);
        if (failure == EWOULDBLOCK)
            return LockResult::HeldElsewhere;
        if (problem)
            *problem = QStringLiteral("The lock file %1 could not be locked: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(failure)));
        return LockResult::Failed;
    }
    descriptor = opened;
    return LockResult::Taken;
}

}

InstanceGuard::~InstanceGuard()
{
    for (int descriptor : {m_runtimeLock, m_dataFolderLock}) {
        if (descriptor >= 0)
            close(descriptor);
    }
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

bool InstanceGuard::acquire(const QString& dataFolder, QString* problem)
{
    if (problem)
        problem->clear();
    QString runtimeProblem;
    const LockResult runtime = takeLock(lockPath(), m_runtimeLock, &runtimeProblem);
    if (runtime == LockResult::HeldElsewhere)
        return false;
    QString dataFolderProblem;
    const LockResult data = takeLock(dataFolder + QLatin1String(kDataFolderLockName), m_dataFolderLock, &dataFolderProblem);
    if (data == LockResult::Failed && problem) {
        *problem = dataFolderProblem;
        if (runtime == LockResult::Failed)
            *problem += QStringLiteral("\n\n") + runtimeProblem;
    }
    return data == LockResult::Taken;
}

}
