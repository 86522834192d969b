// The archive list's items and their order: each item keeps the values its columns sort by
// (numbers, sizes and durations as numbers, the title and type as text regardless of case; ties
// keep the search's order), and a pause of the list's sorting for bulk changes.
//
// Thread: the window thread only.
#pragma once

#include <QPointer>
#include <QString>
#include <QTreeWidget>

namespace wavelark {

// The seconds a duration text ("m:ss" or "h:mm:ss") stands for; -1 for an empty text (not known yet).
qint64 durationSeconds(const QString& duration);

// An item that sorts by its column's value: numbers, sizes and durations as numbers, the title
// and type as text regardless of case; ties keep the search's order. The values are members, so
// that sorting 10,000 items takes a few milliseconds.
class ArchiveItem : public QTreeWidgetItem {
public:
    // number: the running number of the search; bytes: the file's size.
    ArchiveItem(int number, qint64 bytes) : m_number(number), m_bytes(bytes) {}

    // Shows the duration text and keeps its value.
    void setDuration(const QString& duration);

    bool operator<(const QTreeWidgetItem& otherItem) const override;

private:
    int m_number;
    qint64 m_bytes;
    qint64 m_seconds = -1;
};

// Sorting paused for a list's bulk change: items added or changed meanwhile are sorted once, when
// it ends, instead of one at a time (10,000 single insertions into a sorted view take seconds).
class SortingPause {
public:
    explicit SortingPause(QTreeWidget& list);
    // Sorts once; nothing to restore when the list went meanwhile (destroyed while a refresh
    // pumped events).
    ~SortingPause();
    SortingPause(const SortingPause&) = delete;
    SortingPause& operator=(const SortingPause&) = delete;

private:
    QPointer<QTreeWidget> m_list;
    const bool m_indicatorShown;
};

}
