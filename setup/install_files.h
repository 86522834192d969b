// Writing the carried files into the install folder. Window thread (it blocks until the files
// are on disk).
#pragma once

#include "setup_payload.h"

#include <QList>
#include <QString>

#include <optional>

namespace wavelark::setup {

// What could not be done: the path concerned and the system's reason.
struct InstallFailure {
    QString path;
    QString reason;
};

// Creates installFolder (only its last level: the folder above must exist; an existing folder
// is used as it is), then installs every file: each is written in full under a temporary name in
// the install folder, with its mode, and synced; only when all are written is each renamed over
// the file of its name. A running copy of an old installation keeps its own file and the
// installed file is never seen half written. On failure nothing of this installation is left
// behind (a file already renamed into place stays) and the failure names the path and reason.
std::optional<InstallFailure> installFiles(const QString& installFolder, const QList<PayloadFile>& files);

}
