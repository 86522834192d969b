// The open-file dialog with multiple selection and the folder browser, both Qt's own file
// dialog (never the desktop's native one, so they look and behave the same everywhere and can be
// driven in tests). Window thread only: the result areas and the browser's guard are unlocked.

#include "sorvak.h"
#include "sorvak_widgets.h"

#include "helpers/utf.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QPointer>

#include <climits>
#include <cstring>

namespace {

// The open-file result area: a path, or a folder and names each ended by a zero byte and the
// list by an empty text.
constexpr std::size_t kOpenResultSize = 32767;
char g_openResult[kOpenResultSize];
// The result of a multiple selection in which one file was chosen.
char g_oneFileChosen[] = " ";

// The folder browser's path, with room for the '/' it appends.
char g_browsedFolder[PATH_MAX + 2];
bool g_browserOpen = false;
constexpr std::size_t kDisplayNameSize = 260;

// "Name\0*.wav;*.mp3\0Other\0*.*\0\0" as Qt filters: "Name (*.wav *.mp3)", "Other (*)". A name
// without a pattern is taken as a Qt filter as it stands.
QStringList nameFilters(const char* filter)
{
    QStringList filters;
    if (!filter)
        return filters;
    for (const char* name = filter; *name;) {
        const char* patterns = name + std::strlen(name) + 1;
        if (!*patterns) {
            filters << QString::fromUtf8(name);
            break;
        }
        QStringList qtPatterns;
        for (QString pattern : QString::fromUtf8(patterns).split(u';', Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            // "*.*" means every file, also those without a dot in their name.
            qtPatterns << (pattern == u"*.*" ? QStringLiteral("*") : pattern);
        }
        filters << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(name), qtPatterns.join(u' '));
        name = patterns + std::strlen(patterns) + 1;
    }
    return filters;
}

// Opens the dialog in the initial folder; given a file, in the file's folder with it chosen.
void startIn(QFileDialog& dialog, const char* initial)
{
    if (!initial || !*initial)
        return;
    const QFileInfo start(QString::fromUtf8(initial));
    if (start.isDir()) {
        dialog.setDirectory(start.absoluteFilePath());
        return;
    }
    if (start.absoluteDir().exists())
        dialog.setDirectory(start.absolutePath());
    if (start.isFile())
        dialog.selectFile(start.fileName());
}

// The deepest folder that holds every one of the paths.
QString commonFolder(const QStringList& paths)
{
    QString folder = QFileInfo(paths.first()).absolutePath();
    for (const QString& path : paths) {
        while (folder != u"/" && !path.startsWith(folder + u'/'))
            folder = QFileInfo(folder).absolutePath();
    }
    return folder;
}

// Appends a text and its zero byte when it fits with the closing empty text; false otherwise.
bool appendToOpenResult(std::size_t& used, const QByteArray& text)
{
    const auto length = static_cast<std::size_t>(text.size());
    if (used + length + 2 > kOpenResultSize)
        return false;
    std::memcpy(g_openResult + used, text.constData(), length);
    used += length + 1;
    return true;
}

void takeChosenFile(QWidget* owner, int listBoxId, SorvakFileFunction perFile, const QString& path)
{
    const QByteArray text = path.toUtf8();
    if (perFile)
        perFile(text.constData());
    // The list holds paths, which differ by case and may begin with one another: only the
    // same path counts as already listed.
    if (auto* list = qobject_cast<QListWidget*>(sorvak::findControl(owner, listBoxId))) {
        if (list->findItems(path, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
            list->addItem(path);
    }
}

}

char* GetOpenFilenames(void* owner, int multiple, const char* title, const char* initialFolder,
                       const char* filter, int listBoxId, SorvakFileFunction perFile)
{
    std::memset(g_openResult, 0, sizeof g_openResult);
    auto* ownerWidget = static_cast<QWidget*>(owner);
    QPointer<QFileDialog> dialog = new QFileDialog(ownerWidget, QString::fromUtf8(title ? title : ""));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    const QStringList filters = nameFilters(filter);
    if (!filters.isEmpty())
        dialog->setNameFilters(filters);
    startIn(*dialog, initialFolder);
    const int accepted = dialog->exec();
    // The owner may have closed while the dialog ran, taking the dialog with it.
    if (!dialog)
        return nullptr;
    const QStringList chosen = dialog->selectedFiles();
    delete dialog;
    if (accepted != QDialog::Accepted || chosen.isEmpty())
        return nullptr;

    std::size_t used = 0;
    if (!multiple)
        return appendToOpenResult(used, chosen.first().toUtf8()) ? g_openResult : nullptr;
    if (chosen.size() == 1) {
        if (!appendToOpenResult(used, chosen.first().toUtf8()))
            return nullptr;
        takeChosenFile(ownerWidget, listBoxId, perFile, chosen.first());
        return g_oneFileChosen;
    }

    const QString folder = commonFolder(chosen);
    const QString folderPrefix = folder.endsWith(u'/') ? folder : folder + u'/';
    if (!appendToOpenResult(used, folder.toUtf8()))
        return nullptr;
    // The result area holds the names that fit; every chosen file still reaches the per-file
    // function and the list box.
    bool namesFit = true;
    for (const QString& path : chosen) {
        const QString name = path.mid(folderPrefix.size());
        if (namesFit)
            namesFit = appendToOpenResult(used, name.toUtf8());
        takeChosenFile(ownerWidget, listBoxId, perFile, folderPrefix + name);
    }
    return g_openResult;
}

char* BrowseForFolder(const char* title, char* displayName)
{
    if (g_browserOpen)
        return nullptr;
    g_browserOpen = true;
    QFileDialog dialog(nullptr, QString::fromUtf8(title ? title : ""));
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    const int accepted = dialog.exec();
    const QString folder = dialog.selectedFiles().value(0);
    g_browserOpen = false;
    if (accepted != QDialog::Accepted || folder.isEmpty())
        return nullptr;

    QByteArray path = QFileInfo(folder).absoluteFilePath().toUtf8();
    if (!path.endsWith('/'))
        path += '/';
    if (static_cast<std::size_t>(path.size()) >= sizeof g_browsedFolder)
        return nullptr;
    std::memset(g_browsedFolder, 0, sizeof g_browsedFolder);
    std::memcpy(g_browsedFolder, path.constData(), static_cast<std::size_t>(path.size()));
    if (displayName) {
        const QString name = QFileInfo(folder).fileName();
        const QByteArray shown = (name.isEmpty() ? QStringLiteral("/") : name).toUtf8();
        sorvak::copyUtf8Cut(displayName, kDisplayNameSize, shown.constData(), static_cast<std::size_t>(shown.size()));
    }
    return g_browsedFolder;
}
