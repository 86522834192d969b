// The single-instance guard: advisory locks held for the life of the process and released by
// the system when the process ends however it ends. One lock file in the user's runtime folder
// keeps to one program per user; one in the data folder keeps to one program per data folder,
// so that two copies started with different runtime folders never write the same take. The data
// folder's lock alone is what keeps two writers of one take apart: a runtime folder that cannot
// hold a lock (a file, read-only) is passed over.
#pragma once

#include <QString>

namespace wavelark {

// "WAVELARK2V0-" followed by the program's fixed GUID; every build uses the same name.
inline constexpr char kInstanceLockName[] = "WAVELARK2V0-6F1C3A52-9B4D-4E87-A2D0-5C8E17B94F3A";
// The lock file in the data folder.
inline constexpr char kDataFolderLockName[] = ".wavelark.lock";

class InstanceGuard {
public:
    InstanceGuard() = default;
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // Takes both locks (dataFolder ends with '/'). False when another process holds either
    // (problem empty), or when the data folder's lock cannot be taken at all: the program must
    // not run unguarded, and problem then says why, the runtime folder's trouble included. A
    // runtime lock that cannot be taken at all is passed over when the data folder's is taken.
    bool acquire(const QString& dataFolder, QString* problem = nullptr);
    // The lock file's path in the user's runtime folder.
    static QString lockPath();

private:
    int m_runtimeLock = -1;
    int m_dataFolderLock = -1;
};

}
