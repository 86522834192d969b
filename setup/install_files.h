// Writing the carried files into the install folder. Window thread (it blocks until the files
// are on disk).
#pragma once

#include "setup_payload.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace wavelark::setup {

// What could not be done: the path concerned and the system's reason.
struct InstallFailure {
    QString path;
    QString reason;
};

// The call that renames a file (::rename unless a test gives another): 0, or -1 with errno set.
using RenameCall = std::function<int(const char* from, const char* to)>;

// Creates installFolder (only its last level: the folder above must exist; an existing folder
// is used as it is), then installs every file: each is written in full under a temporary name in
// the install folder, with its mode, and synced; only when all are written is each renamed over
// the file of its name. A running copy of an old installation keeps its own file and the
// installed file is never seen half written. Each old file is kept under a backup name until
// every rename has succeeded: if one fails, the files already replaced are put back (a file that
// had no old version is removed), so a failure leaves the old installation whole and nothing of
// this one behind. The failure names the path and reason.
std::optional<InstallFailure> installFiles(const QString& installFolder, const QList<PayloadFile>& files,
                                           const RenameCall& rename = {});

}
