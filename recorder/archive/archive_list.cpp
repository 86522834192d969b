#include "archive/archive_list.h"

#include "archive/archive_item.h"
#include "archive/archive_trash.h"
#include "archive/flac_stream_info.h"

#include "core/desktop_opener.h"
#include "core/toolkit_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace wavelark {

namespace {

// The role under which an item keeps its file's real path.
constexpr int kPathRole = Qt::UserRole;

// Events are pumped at the first file found and then at this pace while the list fills: often
// enough for a smooth window, rarely enough that painting the growing list does not dominate.
constexpr qint64 kPumpIntervalMs = 15;
// Requests go to the reader in blocks of this many as the list fills.
constexpr std::size_t kRequestBlock = 256;

QString text(const char* toolkitText)
{
    return QString::fromUtf8(toolkitText ? toolkitText : "");
}

bool namesFlacFile(const char* name)
{
    const std::size_t length = std::strlen(name);
    const std::size_t extension = sizeof ArchiveList::kFlacExtension - 1;
    return length >= extension && strcasecmp(name + length - extension, ArchiveList::kFlacExtension) == 0;
}

void setDuration(QTreeWidgetItem* item, const QString& duration)
{
    static_cast<ArchiveItem*>(item)->setDuration(duration);
}

// "Delete Selected"'s question as it always read, then the files it names (the first kNamedFiles
// of them) and where they go.
QString deleteQuestion(const QList<QByteArray>& paths)
{
    constexpr int kNamedFiles = 12;
    QStringList names;
    for (const QByteArray& path : paths.first(std::min<qsizetype>(paths.size(), kNamedFiles)))
        names << QFileInfo(QFile::decodeName(path)).fileName();
    if (paths.size() > kNamedFiles)
        names << QStringLiteral("and %1 more").arg(paths.size() - kNamedFiles);
    return QStringLiteral("This will delete the Selected Files from the Archive.\n\nAre You Sure?\n\n%1\n\n"
                          "They are moved to the Trash.")
        .arg(names.join(QLatin1Char('\n')));
}

}

// The refresh in progress. The toolkit's search takes a plain function without a context
// argument, so its per-file function finds the refresh here; refreshes never nest.
struct ArchiveRefreshPass {
    QPointer<ArchiveList> list;
    const bool* startAgain;  // set when a refresh was asked for meanwhile: this pass is stale
    int count = 0;
    bool pumped = false;
    QElapsedTimer sincePump;
    QList<QTreeWidgetItem*> pending;  // made since the last pump, not yet in the list

    static ArchiveRefreshPass* current;

    QTreeWidgetItem* makeItem(const char* path, const char* name, int number, bool flac)
    {
        // The toolkit's helpers return rotating buffers: each is copied at once.
        // Up to 4 GiB - 1 the size is exact; beyond, FileSize saturates and so does the column.
        const uint32_t bytes = g_toolkit.FileSize(path);
        auto* item = new ArchiveItem(number, bytes);
        item->setText(ArchiveList::kNumberColumn, text(g_toolkit.lzdw2sz(number, 4)));
        const int extension = flac ? static_cast<int>(sizeof ArchiveList::kFlacExtension) - 1 : 4;
        item->setText(ArchiveList::kTitleColumn, text(g_toolkit.cuts(name, extension)));
        item->setText(ArchiveList::kSizeColumn, text(g_toolkit.dw2sz(static_cast<int32_t>(bytes / 1024))) + QStringLiteral("kb"));
        item->setText(ArchiveList::kTypeColumn, text(g_toolkit.rights(name, extension - 1)).toLower());
        setDuration(item, QString());
        item->setData(ArchiveList::kTitleColumn, kPathRole, QByteArray(path));
        list->durationFor(item, QByteArray(path));
        return item;
    }

    // Adds the items made since the last pump, selects those that were selected before, and
    // lets the window paint them. Returns false when the list was destroyed meanwhile.
    bool flushAndPump()
    {
        addPending();
        list->sendRequests();
        QCoreApplication::processEvents();
        pumped = true;
        sincePump.restart();
        return !list.isNull();
    }

    void addPending()
    {
        if (pending.isEmpty())
            return;
        list->addTopLevelItems(pending);
        if (!list->m_keptSelection.isEmpty())
            for (QTreeWidgetItem* item : std::as_const(pending))
                if (list->m_keptSelection.contains(ArchiveList::filePath(item)))
                    item->setSelected(true);
        pending.clear();
    }

    static int found(const char* path, const char*, const char* name, int match)
    {
        ArchiveRefreshPass& pass = *current;
        const bool flac = !match && namesFlacFile(name);
        if (match || flac)
            pass.pending << pass.makeItem(path, name, ++pass.count, flac);
        if ((!pass.pumped || pass.sincePump.elapsed() >= kPumpIntervalMs) && !pass.flushAndPump())
            return 1;
        return *pass.startAgain ? 1 : 0;
    }
};

ArchiveRefreshPass* ArchiveRefreshPass::current = nullptr;

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
        // A heading's first click sorts upward, the next reverses.
        headerItem()->setData(column, Qt::InitialSortOrderRole, Qt::AscendingOrder);
    }
    QPalette listPalette = palette();
    listPalette.setColor(QPalette::Base, Qt::white);
    listPalette.setColor(QPalette::Text, Qt::black);
    setPalette(listPalette);
    // The search's order (the running numbers) until a heading is clicked; its arrow shows from then.
    header()->setSortIndicator(kNumberColumn, Qt::AscendingOrder);
    setSortingEnabled(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this] { header()->setSortIndicatorShown(true); });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { openItem(item); });

    m_watchTimer.setSingleShot(true);
    connect(&m_watchTimer, &QTimer::timeout, this, [this] { refresh(m_folder); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { folderChanged(); });
    m_reader = std::make_unique<DurationReader>(this, readDuration,
                                                [this](const std::vector<DurationReader::Result>& batch) { applyDurations(batch); });
}

ArchiveList::~ArchiveList()
{
    // The reader's thread ends before the items it reports on.
    m_reader.reset();
}

QString ArchiveList::readDuration(const QByteArray& path)
{
    if (namesFlacFile(path.constData()))
        if (const std::optional<int64_t> duration = flacDuration(path.constData()))
            return text(g_toolkit.nanosec2time(*duration));
    return text(g_toolkit.GetWMADuration(path.constData()));
}

void ArchiveList::setDurationReadFunction(DurationReader::ReadFunction read)
{
    m_reader->setReadFunction(std::move(read));
}

void ArchiveList::durationFor(QTreeWidgetItem* item, const QByteArray& path)
{
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return setDuration(item, text(g_toolkit.nanosec2time(0)));
    KnownDuration known{status.st_size, status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec, QString()};
    const auto earlier = m_known.constFind(path);
    if (earlier != m_known.constEnd() && earlier->size == known.size && earlier->modified == known.modified
        && !earlier->text.isEmpty()) {
        setDuration(item, earlier->text);
        known.text = earlier->text;
    } else {
        m_unsent.push_back(DurationReader::Request{m_generation, static_cast<int>(m_waiting.size()), path});
        m_waiting.push_back(item);
        ++m_durationsPending;
    }
    m_nextKnown.insert(path, known);
    if (m_unsent.size() >= kRequestBlock)
        sendRequests();
}

void ArchiveList::sendRequests()
{
    if (!m_unsent.empty())
        m_reader->request(std::exchange(m_unsent, {}));
}

void ArchiveList::applyDurations(const std::vector<DurationReader::Result>& batch)
{
    std::optional<SortingPause> pause;
    if (sortColumn() == kDurationColumn && !m_refreshing)
        pause.emplace(*this);
    for (const DurationReader::Result& result : batch) {
        if (result.generation != m_generation || result.index < 0 || static_cast<std::size_t>(result.index) >= m_waiting.size())
            continue;
        QTreeWidgetItem* item = std::exchange(m_waiting[static_cast<std::size_t>(result.index)], nullptr);
        if (!item)
            continue;
        setDuration(item, result.text);
        --m_durationsPending;
        // Noted for the next refresh, also when it arrives while this one is still listing.
        const QByteArray path = filePath(item);
        for (QHash<QByteArray, KnownDuration>* known : {&m_known, &m_nextKnown})
            if (auto entry = known->find(path); entry != known->end())
                entry->text = result.text;
    }
}

void ArchiveList::watch(const QString& folder)
{
    // "/music/" and "/music" are one folder to the watcher.
    const QString path = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
    const QStringList watched = m_watcher.directories();
    if (watched.size() == 1 && watched.front() == path)
        return;
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
    // A folder that does not exist (yet) is not watched; the next refresh tries again.
    if (!path.isEmpty())
        m_watcher.addPath(path);
}

void ArchiveList::folderChanged()
{
    // At most two refreshes a second, the last change always followed by one.
    if (!m_watchTimer.isActive())
        m_watchTimer.start(static_cast<int>(std::max<qint64>(0, kWatchIntervalMs - m_sinceRefresh.elapsed())));
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
    std::optional<SortingPause> pause(std::in_place, *this);
    do {
        m_refreshAgain = false;
        m_keptSelection.clear();
        for (const QTreeWidgetItem* item : selectedItems())
            m_keptSelection.insert(filePath(item));
        m_reader->forgetBefore(++m_generation);
        m_waiting.clear();
        m_unsent.clear();
        m_durationsPending = 0;
        m_nextKnown.clear();
        clear();
        watch(m_folder);
        ArchiveRefreshPass pass {self, &m_refreshAgain, 0, false, {}, {}};
        pass.sincePump.start();
        ArchiveRefreshPass::current = &pass;
        const int searched = g_toolkit.SearchFiles(m_folder.toUtf8().constData(), kExtensions, ArchiveRefreshPass::found, 1);
        ArchiveRefreshPass::current = nullptr;
        if (self.isNull()) {
            qDeleteAll(pass.pending);
            return RefreshResult::Abandoned;
        }
        if (m_refreshAgain)
            qDeleteAll(pass.pending);
        else
            pass.addPending();
        sendRequests();
        // What this refresh listed is what the next one can take the durations of.
        m_known.swap(m_nextKnown);
        m_nextKnown.clear();
        result = searched == -1 ? RefreshResult::FolderUnreadable : RefreshResult::Listed;
    } while (m_refreshAgain);
    m_keptSelection.clear();
    m_refreshing = false;
    pause.reset();
    m_sinceRefresh.start();
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
    const auto answer = QMessageBox::question(owner, QStringLiteral("Delete Selected"), deleteQuestion(paths),
                                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        outcome.status = DeleteOutcome::Status::Declined;
        return outcome;
    }
    outcome.status = DeleteOutcome::Status::Done;
    const QPointer<QWidget> ownerAlive(owner);
    QStringList reasons;
    for (const QByteArray& path : paths) {
        const TrashResult result = moveFileToTrash(path);
        const QString shown = QString::fromUtf8(path);
        if (result.outcome == TrashResult::Outcome::Failed) {
            outcome.failed << shown;
            reasons << QStringLiteral("%1 (%2)").arg(shown, result.reason);
            continue;
        }
        outcome.deleted << shown;
        if (result.outcome == TrashResult::Outcome::Deleted)
            outcome.withoutTrash << shown;
    }
    // The list shows what stays before the report is read.
    if (!self.isNull())
        refresh(m_folder);
    QStringList report;
    if (!outcome.withoutTrash.isEmpty())
        report << QStringLiteral("This desktop has no Trash: these files were deleted for good:\n\n%1")
                      .arg(outcome.withoutTrash.join(QLatin1Char('\n')));
    if (!reasons.isEmpty())
        report << QStringLiteral("Wavelark could not delete these files; they stay in the archive folder:\n\n%1")
                      .arg(reasons.join(QLatin1Char('\n')));
    if (!report.isEmpty() && (ownerAlive || !owner))
        QMessageBox::warning(ownerAlive, QStringLiteral("Delete Selected"), report.join(QStringLiteral("\n\n")));
    return outcome;
}

void ArchiveList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        deleteSelected(window());
        return;
    }
    QTreeWidget::keyPressEvent(event);
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
