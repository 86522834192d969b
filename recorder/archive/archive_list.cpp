#include "archive/archive_list.h"

#include <QHeaderView>

namespace wavelark {

ArchiveList::ArchiveList(const QFont& font, const QRect& geometry, QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QLatin1String(kObjectName));
    setGeometry(geometry);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setFont(font);
    setHeaderLabels({QStringLiteral("#"), QStringLiteral("Title"), QStringLiteral("Size"), QStringLiteral("Type"),
                     QStringLiteral("Duration")});
    const int columnWidths[] = {50, 300, 60, 50, 70};
    for (int column = 0; column < 5; ++column) {
        setColumnWidth(column, columnWidths[column]);
        headerItem()->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    }
    QPalette listPalette = palette();
    listPalette.setColor(QPalette::Base, Qt::white);
    listPalette.setColor(QPalette::Text, Qt::black);
    setPalette(listPalette);
}

}
