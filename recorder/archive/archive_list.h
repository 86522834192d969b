// The archive list: the archive folder's audio files in a report view with full-row selection,
// five columns (#, Title, Size, Type, Duration) in the small font, placed over the main window's
// frame 1032. Window thread only.
#pragma once

#include <QTreeWidget>

namespace wavelark {

class ArchiveList : public QTreeWidget {
public:
    // The object name the list carries, for finding it among the window's children.
    static constexpr char kObjectName[] = "archiveList";

    ArchiveList(const QFont& font, const QRect& geometry, QWidget* parent);
};

}
