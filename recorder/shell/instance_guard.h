// The single-instance guard: an advisory lock on a file in the user's runtime folder, held for
// the life of the process and released by the system when the process ends however it ends.
#pragma once

#include <QString>

namespace wavelark {

// "WAVELARK2V0-" followed by the program's fixed GUID; every build uses the same name.
inline constexpr char kInstanceLockName[] = "WAVELARK2V0-6F1C3A52-9B4D-4E87-A2D0-5C8E17B94F3A";

class InstanceGuard {
public:
    InstanceGuard() = default;
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // Takes the lock. Returns false only when another process holds it; a lock file that cannot
    // be created at all does not stop the program (the guard is then simply absent).
    bool acquire();
    // The lock file's path in the user's runtime folder.
    static QString lockPath();

private:
    int m_descriptor = -1;
};

}
