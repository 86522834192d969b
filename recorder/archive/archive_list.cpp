#include "archive/archive_list.h"

#include "core/desktop_opener.h"
#include "core/toolkit_binding.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace wavelark {

namespace {

// The role under which an item keeps its file's real path.
constexpr int kPathRole = Qt::UserRole;

// Events are pumped at the first file found and then at this pace while the list fills: often
// enough for a smooth window, rarely enough that painting the growing list does not dominate.
constexpr qint64 kPumpIntervalMs = 25;

// The refresh in progress. The toolkit's search takes a plain function without a context
// argument, so its per-file function finds the refresh here; refreshes never nest.
struct RefreshPass {
    QPointer<ArchiveList> list;
    const bool* startAgain;  // set when a refresh was asked for meanwhile: this pass is stale
    int count = 0;
    bool pumped = false;
    QElapsedTimer sincePump;
    QList<QTreeWidgetItem*> pending;  // made since the last pump, not yet in the list
};
RefreshPass* g_refreshPass = nullptr;

QString text(const char* toolkitText)
{
    return QString::fromUtf8(toolkitText ? toolkitText : "");
}

QTreeWidgetItem* makeItem(const char* path, const char* name, int number)
{
    // The toolkit's helpers return rotating buffers: each is copied at once.
    auto* item = new QTreeWidgetItem;
    item->setText(ArchiveList::kNumberColumn, text(g_toolkit.lzdw2sz(number, 4)));
    item->setText(ArchiveList::kTitleColumn, text(g_toolkit.cuts(name, 4)));
    // Up to 4 GiB - 1 the size is exact; beyond, FileSize saturates and so does the column.
    const auto kilobytes = static_cast<int32_t>(g_toolkit.FileSize(path) / 1024);
    item->setText(ArchiveList::kSizeColumn, text(g_toolkit.dw2sz(kilobytes)) + QStringLiteral("kb"));
    item->setText(ArchiveList::kTypeColumn, text(g_toolkit.rights(name, 3)).toLower());
    item->setText(ArchiveList::kDurationColumn, text(g_toolkit.GetWMADuration(path)));
    item->setData(ArchiveList::kTitleColumn, kPathRole, QByteArray(path));
    return item;
}

// Adds the items made since the last pump and lets the window paint them. Returns false when
// the list was destroyed meanwhile.
bool flushAndPump(RefreshPass& pass)
{
    if (!pass.pending.isEmpty()) {
        pass.list->addTopLevelItems(pass.pending);
        pass.pending.clear();
    }
    QCoreApplication::processEvents();
    pass.pumped = true;
    pass.sincePump.restart();
    return !pass.list.isNull();
}

int listFoundFile(const char* path, const char*, const char* name, int match)
{
    RefreshPass& pass = *g_refreshPass;
    if (match)
        pass.pending << makeItem(path, name, ++pass.count);
    if ((!pass.pumped || pass.sincePump.elapsed() >= kPumpIntervalMs) && !flushAndPump(pass))
        return 1;
    return *pass.startAgain ? 1 : 0;
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

}

ArchiveList::ArchiveList(const QFont& font, const QRect& geometry, QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QLatin1String(kObjectName));
    setGeometry(geometry);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setFont(font);
    setHeaderLabels({QStringLiteral("#"), QStringLiteral("Title"), QStringLiteral("Size"), QStringLiteral("Type"),
                     QStringLiteral("Duration")});
    const int columnWidths[kColumnCount] = {50, 300, 60, 50, 70};
    for (int column = 0; column < kColumnCount; ++column) {
        setColumnWidth(column, columnWidths[column]);
        headerItem()->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    }
    QPalette listPalette = palette();
    listPalette.setColor(QPalette::Base, Qt::white);
    listPalette.setColor(QPalette::Text, Qt::black);
    setPalette(listPalette);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { openItem(item); });
}

ArchiveList::RefreshResult ArchiveList::refresh(const QString& folder)
{
    m_folder = folder;
    if (m_refreshing) {
        m_refreshAgain = true;
        return RefreshResult::Deferred;
    }
    QPointer<ArchiveList> self(this);
    m_refreshing = true;
    RefreshResult result = RefreshResult::Listed;
    do {
        m_refreshAgain = false;
        clear();
        RefreshPass pass {self, &m_refreshAgain, 0, false, {}, {}};
        pass.sincePump.start();
        g_refreshPass = &pass;
        const int searched = g_toolkit.SearchFiles(m_folder.toUtf8().constData(), kExtensions, listFoundFile, 1);
        g_refreshPass = nullptr;
        if (self.isNull()) {
            qDeleteAll(pass.pending);
            return RefreshResult::Abandoned;
        }
        if (m_refreshAgain)
            qDeleteAll(pass.pending);
        else
            addTopLevelItems(pass.pending);
        result = searched == -1 ? RefreshResult::FolderUnreadable : RefreshResult::Listed;
    } while (m_refreshAgain);
    m_refreshing = false;
    return result;
}

QByteArray ArchiveList::filePath(const QTreeWidgetItem* item)
{
    return item ? item->data(kTitleColumn, kPathRole).toByteArray() : QByteArray();
}

ArchiveList::DeleteOutcome ArchiveList::deleteSelected(QWidget* owner)
{
    DeleteOutcome outcome;
    // The paths are taken before asking: a refresh while the question is open replaces the items.
    QList<QByteArray> paths;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = topLevelItem(row);
        if (item->isSelected() && !filePath(item).isEmpty())
            paths << filePath(item);
    }
    if (paths.isEmpty())
        return outcome;
    const QPointer<ArchiveList> self(this);
    const auto answer = QMessageBox::question(owner, QStringLiteral("Delete Selected"),
                                              QStringLiteral("This will delete the Selected Files from the Archive.\n\n"
                                                             "Are You Sure?"),
                                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        outcome.status = DeleteOutcome::Status::Declined;
        return outcome;
    }
    outcome.status = DeleteOutcome::Status::Done;
    const QPointer<QWidget> ownerAlive(owner);
    QStringList reasons;
    for (const QByteArray& path : paths) {
        const int error = ::unlink(path.constData()) == 0 ? 0 : errno;
        const QString shown = QString::fromUtf8(path);
        if (error == 0) {
            outcome.deleted << shown;
        } else {
            outcome.failed << shown;
            reasons << QStringLiteral("%1 (%2)").arg(shown, errorText(error));
        }
    }
    // The list shows what stays before the report is read.
    if (!self.isNull())
        refresh(m_folder);
    if (!reasons.isEmpty() && (ownerAlive || !owner))
        QMessageBox::warning(ownerAlive, QStringLiteral("Delete Selected"),
                             QStringLiteral("Wavelark could not delete these files; they stay in the archive folder:\n\n%1")
                                 .arg(reasons.join(QLatin1Char('\n'))));
    return outcome;
}

void ArchiveList::openItem(QTreeWidgetItem* item)
{
    const QByteArray path = filePath(item);
    if (path.isEmpty())
        return;
    // The path's bytes go into the URL as they are, so a name that is not valid UTF-8 still
    // reaches its file.
    const QUrl url = QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
    const QString shown = QString::fromUtf8(path);
    openOnDesktop(url, this, [this, shown](const QString& reason) {
        QMessageBox::warning(this, QStringLiteral("ERROR"),
                             QStringLiteral("Wavelark could not open %1 (%2).").arg(shown, reason));
    });
}

}
