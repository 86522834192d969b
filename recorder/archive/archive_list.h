// The archive list: the archive folder's WAV, MP3 and WMA files in a report view with full-row
// selection, five columns (#, Title, Size, Type, Duration) in the small font, placed over the main
// window's frame 1032. Every item keeps the real path of its file as the folder search found it,
// so a name with a capitalised or longer extension opens and deletes the file it shows; nothing
// is rebuilt from the displayed texts.
//
// Thread: the window thread only, for every function. The list owns its items; it owns no file.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTreeWidget>

class QWidget;

namespace wavelark {

class ArchiveList : public QTreeWidget {
public:
    // The object name the list carries, for finding it among the window's children.
    static constexpr char kObjectName[] = "archiveList";
    // The extensions listed, as the toolkit's folder search reads them: three letters and a comma
    // each, compared with a name's last three characters regardless of case.
    static constexpr char kExtensions[] = "WAV,MP3,WMA,";

    enum Column { kNumberColumn, kTitleColumn, kSizeColumn, kTypeColumn, kDurationColumn, kColumnCount };

    ArchiveList(const QFont& font, const QRect& geometry, QWidget* parent);

    enum class RefreshResult {
        Listed,            // the folder was searched; the list holds its matching files (perhaps none)
        FolderUnreadable,  // the folder is missing or cannot be read; the list is empty
        Deferred,          // a refresh was already running (this call came from its event pumping):
                           // that refresh starts again, with this call's folder, once it has ended
        Abandoned,         // the list was destroyed while its refresh pumped events; nothing more is done
    };

    // Empties the list and fills it with the files of folder itself (not of its subfolders) whose
    // last three characters are one of kExtensions, in the order the search delivers them: number
    // (lzdw2sz of the running count, 4 digits), title (the name without its last four
    // characters), size (length / 1024, truncated, then "kb"), type (the last three characters in
    // lower case), duration (the toolkit's GetWMADuration text; "0:00" when it cannot be told).
    // folder may end with '/' or not. Files that vanish while the folder is read are left out or
    // show size 0kb and 0:00; a folder that vanishes leaves what was listed so far.
    // Pumps the window's events at the first file and then about every 25 ms while it fills, so
    // the window repaints and stays responsive; it never re-enters itself (see Deferred). Needs
    // the toolkit bound (g_toolkit).
    RefreshResult refresh(const QString& folder);

    // The folder of the latest refresh, as it was given.
    QString folder() const { return m_folder; }
    bool isRefreshing() const { return m_refreshing; }

    // The real path of the file an item shows (bytes as the file system spells them); empty for
    // an item this list did not fill.
    static QByteArray filePath(const QTreeWidgetItem* item);

    struct DeleteOutcome {
        enum class Status {
            NothingSelected,  // nothing happened, nothing was asked
            Declined,         // the user answered No; no file was touched
            Done,             // the selected files were deleted (see failed), the list refreshed
        };
        Status status = Status::NothingSelected;
        QStringList deleted;  // paths of the files removed
        QStringList failed;   // paths of the files that stay, each reported to the user
    };

    // The main window's Delete command. Asks "Delete Selected" (Yes/No, question icon, owned by
    // owner); on Yes deletes the files of the items selected when it was called, in list order,
    // each at its real path. A file that cannot be deleted stays and the others still go. Then
    // refreshes the folder of the latest refresh (deferred when a refresh is running), and one
    // warning owned by owner names every file that stayed and why.
    DeleteOutcome deleteSelected(QWidget* owner);

    // A double-click on an item opens its file with the desktop's default program; when nothing
    // can open it a warning names the file. A double-click on the empty area does nothing.

private:
    void openItem(QTreeWidgetItem* item);

    QString m_folder;
    bool m_refreshing = false;
    bool m_refreshAgain = false;
};

}
