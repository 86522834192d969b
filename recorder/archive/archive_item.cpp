#include "archive/archive_item.h"

#include "archive/archive_list.h"

#include <QHeaderView>

namespace wavelark {

qint64 durationSeconds(const QString& duration)
{
    if (duration.isEmpty())
        return -1;
    qint64 seconds = 0;
    for (const QString& part : duration.split(QLatin1Char(':')))
        seconds = seconds * 60 + part.toLongLong();
    return seconds;
}

void ArchiveItem::setDuration(const QString& duration)
{
    m_seconds = durationSeconds(duration);
    setText(ArchiveList::kDurationColumn, duration);
}

bool ArchiveItem::operator<(const QTreeWidgetItem& otherItem) const
{
    const auto& other = static_cast<const ArchiveItem&>(otherItem);
    const int column = treeWidget() ? treeWidget()->sortColumn() : ArchiveList::kNumberColumn;
    if (column == ArchiveList::kTitleColumn || column == ArchiveList::kTypeColumn) {
        const int order = text(column).compare(other.text(column), Qt::CaseInsensitive);
        if (order != 0)
            return order < 0;
    } else if (column == ArchiveList::kSizeColumn && m_bytes != other.m_bytes) {
        return m_bytes < other.m_bytes;
    } else if (column == ArchiveList::kDurationColumn && m_seconds != other.m_seconds) {
        return m_seconds < other.m_seconds;
    }
    return m_number < other.m_number;
}

SortingPause::SortingPause(QTreeWidget& list)
    : m_list(&list)
    , m_indicatorShown(list.header()->isSortIndicatorShown())
{
    m_list->setSortingEnabled(false);
}

SortingPause::~SortingPause()
{
    if (!m_list)
        return;
    m_list->setSortingEnabled(true);
    m_list->header()->setSortIndicatorShown(m_indicatorShown);
}

}
