// Removing an archive file: to the desktop's Trash (the freedesktop.org trash that file managers
// show), or, only where the desktop has no Trash at all, deleted for good. Any thread; it touches
// nothing but the file and the Trash folder.
#pragma once

#include <QByteArray>
#include <QString>

namespace wavelark {

struct TrashResult {
    enum class Outcome {
        Trashed,  // the file is in the Trash, restorable from there
        Deleted,  // there is no Trash: the file was deleted for good
        Failed,   // the file stays where it was; reason says why
    };
    Outcome outcome = Outcome::Failed;
    QString reason;
};

// Moves the file at path (bytes as the file system spells them) to the Trash. Only a file is
// removed: a folder or anything else found at path stays (Failed). When the home Trash
// ($XDG_DATA_HOME/Trash) neither exists nor can be made, the file is deleted instead (Deleted).
TrashResult moveFileToTrash(const QByteArray& path);

}
