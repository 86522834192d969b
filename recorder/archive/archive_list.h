// The archive list: the archive folder's WAV, MP3, WMA and FLAC files in a report view with
// full-row selection, five columns (#, Title, Size, Type, Duration) in the small font, placed over
// the main window's frame 1032. Every item keeps the real path of its file as the folder search
// found it, so a name with a capitalised or longer extension opens and deletes the file it shows;
// nothing is rebuilt from the displayed texts. A click on a column's heading sorts the list by it
// (numbers, sizes and durations by value, texts regardless of case), a second click reverses the
// order; until then the list keeps the search's order. The folder is watched: files another
// program adds or removes appear and go by themselves, at most two refreshes a second.
//
// The names are listed first; the durations are read on a thread of their own
// (archive/duration_reader.h) and filled in as they come, so no refresh keeps the window waiting
// for the files' headers. A file whose size and time have not changed keeps the duration read
// before.
//
// Thread: the window thread only, for every function. The list owns its items and its reader
// thread; it owns no file.
#pragma once

#include "archive/duration_reader.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace wavelark {

struct ArchiveRefreshPass;

class ArchiveList : public QTreeWidget {
public:
    // The object name the list carries, for finding it among the window's children.
    static constexpr char kObjectName[] = "archiveList";
    // The extensions listed, as the toolkit's folder search reads them: three letters and a comma
    // each, compared with a name's last three characters regardless of case.
    static constexpr char kExtensions[] = "WAV,MP3,WMA,";
    // FLAC files are listed by their whole extension, in any case: ".flac".
    static constexpr char kFlacExtension[] = ".flac";
    // The least time between two refreshes that the folder watcher starts.
    static constexpr int kWatchIntervalMs = 500;

    enum Column { kNumberColumn, kTitleColumn, kSizeColumn, kTypeColumn, kDurationColumn, kColumnCount };

    ArchiveList(const QFont& font, const QRect& geometry, QWidget* parent);
    ~ArchiveList() override;

    enum class RefreshResult {
        Listed,            // the folder was searched; the list holds its matching files (perhaps none)
        FolderUnreadable,  // the folder is missing or cannot be read; the list is empty
        Deferred,          // a refresh was already running (this call came from its event pumping):
                           // that refresh starts again, with this call's folder, once it has ended
        Abandoned,         // the list was destroyed while its refresh pumped events; nothing more is done
    };

    // Empties the list and fills it with the files of folder itself (not of its subfolders) whose
    // last three characters are one of kExtensions, or whose name ends in kFlacExtension, in the
    // order the search delivers them (then in the order chosen by a heading's click): number
    // (lzdw2sz of the running count, 4 digits), title (the name without its extension: its last
    // four characters, five for FLAC), size (length / 1024, truncated, then "kb"), type (the
    // extension's letters in lower case), duration (for FLAC from its STREAMINFO, else the
    // toolkit's GetWMADuration text; "0:00" when it cannot be told). The duration is empty when
    // the refresh returns, unless the file is unchanged since it was read (durationsPending());
    // it is filled in later by the window's event loop. Selected files stay selected.
    // folder may end with '/' or not; it is the folder watched from now on. Files that vanish
    // while the folder is read are left out or show size 0kb and 0:00; a folder that vanishes
    // leaves what was listed so far.
    // Pumps the window's events at the first file and then about every 15 ms while it fills, so
    // the window repaints and stays responsive; it never re-enters itself (see Deferred). Needs
    // the toolkit bound (g_toolkit).
    RefreshResult refresh(const QString& folder);

    // True while durations of the latest refresh are still being read.
    bool durationsPending() const { return m_durationsPending > 0; }

    // Replaces how a file's duration text is read (on the reader's thread), for tests; the
    // default is readDuration.
    void setDurationReadFunction(DurationReader::ReadFunction read);
    // The duration text of a file as the list shows it. Runs on the reader's thread: the toolkit's
    // GetWMADuration keeps the WAV probe's record process-wide, so nothing else in the recorder
    // may call it (nor readDuration) while a list lives.
    static QString readDuration(const QByteArray& path);

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
            Done,             // the selected files were removed (see failed), the list refreshed
        };
        Status status = Status::NothingSelected;
        QStringList deleted;  // paths of the files removed (to the Trash, or for good)
        QStringList withoutTrash;  // of those, the ones deleted for good: there was no Trash
        QStringList failed;   // paths of the files that stay, each reported to the user
    };

    // The main window's Delete command, and the Delete key while the list has the focus. Asks
    // "Delete Selected" (Yes/No, question icon, owned by owner), naming the files; on Yes moves
    // the files of the items selected when it was called to the desktop's Trash
    // (archive/archive_trash.h), in list order, each at its real path; only without any Trash are
    // they deleted for good. A file that cannot be removed stays and the others still go. Then
    // refreshes the folder of the latest refresh (deferred when a refresh is running), and one
    // warning owned by owner names every file that stayed and why, and those deleted for good.
    DeleteOutcome deleteSelected(QWidget* owner);


    // A double-click on an item opens its file with the desktop's default program; when nothing
    // can open it a warning names the file. A double-click on the empty area does nothing.

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // What is known of a file's duration: the text, read while the file had this size and time.
    struct KnownDuration {
        qint64 size = 0;
        qint64 modified = 0; // nanoseconds
        QString text;
    };

    void openItem(QTreeWidgetItem* item);
    void watch(const QString& folder);
    void folderChanged();
    // Shows a file's duration and notes it for the next refresh; takes the reader's batches.
    void applyDurations(const std::vector<DurationReader::Result>& batch);
    // Called by the refresh for each listed item: its duration from what is known, else a
    // request to the reader (sent in blocks by sendRequests).
    void durationFor(QTreeWidgetItem* item, const QByteArray& path);
    void sendRequests();
    friend struct ArchiveRefreshPass;

    QString m_folder;
    bool m_refreshing = false;
    bool m_refreshAgain = false;
    // The refresh the items belong to; a reader's result of another is stale.
    uint64_t m_generation = 0;
    std::vector<QTreeWidgetItem*> m_waiting; // items of this generation by request index
    std::vector<DurationReader::Request> m_unsent;
    int m_durationsPending = 0;
    QHash<QByteArray, KnownDuration> m_known;     // by path, as of the latest refresh
    QHash<QByteArray, KnownDuration> m_nextKnown; // the files the refresh in progress lists
    QSet<QByteArray> m_keptSelection;             // paths selected before the refresh
    QFileSystemWatcher m_watcher;
    QTimer m_watchTimer;
    QElapsedTimer m_sinceRefresh;
    std::unique_ptr<DurationReader> m_reader; // last: its thread ends before the members above go
};

}
