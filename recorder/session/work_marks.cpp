#include "session/work_marks.h"

#include "core/file_toolbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>
#include <span>

namespace wavelark {

namespace {

// The take mark: the change on its first line ("recording", "import", or "replaced" once an
// import's audio is about to be renamed over the take), then "take " and the take's id. Marks
// from before ids were empty (a recording) or "import\n".
constexpr char kImportLine[] = "import";
constexpr char kRecordingLine[] = "recording";
constexpr char kImportReplacingLine[] = "replaced";
constexpr char kTakeIdPrefix[] = "take ";
constexpr qint64 kLongestTakeMark = 4096;
// A batch's saving mark starts with this line, then a side path and a file name per line pair.
constexpr char kBatchLine[] = "batch";
constexpr qint64 kLongestSavingMark = 1 << 20;

QString writeMark(const QString& path, const QByteArray& content)
{
    // Replaced whole and on stable storage with its folder entry before the work it marks starts:
    // it must outlast a power loss as that work does.
    const std::optional<FileFailure> failure = replaceFile(
        QFile::encodeName(path).toStdString(),
        std::span(reinterpret_cast<const uint8_t*>(content.constData()), static_cast<std::size_t>(content.size())));
    return failure ? QString::fromLocal8Bit(failure->reason().c_str()) : QString();
}

bool removeLeftOver(const QString& path)
{
    return QFile::remove(path) || !QFile::exists(path);
}

// The take mark's lines; nothing without a mark.
std::optional<QList<QByteArray>> takeMarkLines(const DataPaths& paths)
{
    QFile mark(paths.recordingMark());
    if (!mark.exists())
        return std::nullopt;
    if (!mark.open(QIODevice::ReadOnly))
        return QList<QByteArray>();
    return mark.read(kLongestTakeMark).split('\n');
}

QByteArray takeMarkContent(const char* change, const std::string& id)
{
    return QByteArray(change) + '\n' + kTakeIdPrefix + QByteArray::fromStdString(id) + '\n';
}

bool isTakeId(const QByteArray& text)
{
    const auto hexDigit = [](char digit) { return std::isxdigit(static_cast<unsigned char>(digit)) != 0; };
    return text.size() == 32 && std::all_of(text.begin(), text.end(), hexDigit);
}

}

std::string newTakeId()
{
    std::random_device source;
    std::string id;
    for (int word = 0; word < 4; ++word) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(source()));
        id += digits;
    }
    return id;
}

QString writeTakeMark(const DataPaths& paths, TakeChange change)
{
    return writeMark(paths.recordingMark(),
                     takeMarkContent(change == TakeChange::Import ? kImportLine : kRecordingLine, newTakeId()));
}

std::optional<TakeChange> readTakeMark(const DataPaths& paths)
{
    const std::optional<QList<QByteArray>> lines = takeMarkLines(paths);
    if (!lines)
        return std::nullopt;
    return !lines->isEmpty() && lines->front() == kImportLine ? TakeChange::Import : TakeChange::Recording;
}

std::string readTakeId(const DataPaths& paths)
{
    const std::optional<QList<QByteArray>> lines = takeMarkLines(paths);
    if (!lines || lines->size() < 2 || !lines->at(1).startsWith(kTakeIdPrefix))
        return std::string();
    const QByteArray id = lines->at(1).mid(static_cast<qsizetype>(std::strlen(kTakeIdPrefix)));
    return isTakeId(id) ? id.toLower().toStdString() : std::string();
}

QString writeSavingMark(const DataPaths& paths, const QString& sidePath, const QString& fileName)
{
    // The side file's path alone on the first line, as marks were before they named the file:
    // a long name's side file is a shortened name, so the file's own name follows on the next.
    QByteArray content = sidePath.toUtf8();
    if (!fileName.isEmpty())
        content += '\n' + fileName.toUtf8();
    return writeMark(paths.savingMark(), content);
}

QString writeBatchSavingMark(const DataPaths& paths, const QList<BatchFile>& files)
{
    QByteArray content = kBatchLine;
    for (const BatchFile& file : files)
        content += '\n' + file.sidePath.toUtf8() + '\n' + file.fileName.toUtf8();
    return writeMark(paths.savingMark(), content);
}

QString batchTemporaryWav(const DataPaths& paths, int number)
{
    return paths.folder + QStringLiteral("temp-%1.wav").arg(number, 2, 10, QLatin1Char('0'));
}

bool removeMark(const QString& path)
{
    return removeLeftOver(path);
}

std::optional<InterruptedSave> clearInterruptedSave(const DataPaths& paths)
{
    QFile mark(paths.savingMark());
    if (!mark.exists())
        return std::nullopt;
    InterruptedSave save;
    QList<QByteArray> lines;
    if (mark.open(QIODevice::ReadOnly))
        lines = mark.read(kLongestSavingMark).split('\n');
    mark.close();
    // Only the save's own side files are ever removed from the archive folder.
    const auto clearSideFile = [&save](const QString& sidePath) {
        if (sidePath.endsWith(QLatin1String(".part")) && !removeLeftOver(sidePath))
            save.leftOver << sidePath;
    };
    QStringList temporaryFiles{paths.temporaryWav()};
    if (!lines.isEmpty() && lines.front() == kBatchLine) {
        save.batch = true;
        for (qsizetype line = 1; line + 1 < lines.size(); line += 2) {
            clearSideFile(QString::fromUtf8(lines.at(line)));
            save.unsaved << QString::fromUtf8(lines.at(line + 1));
        }
        const QDir folder(paths.folder);
        for (const QString& name : folder.entryList({QStringLiteral("temp-[0-9]*.wav")}, QDir::Files))
            temporaryFiles << folder.filePath(name);
    } else {
        const QString sidePath = lines.isEmpty() ? QString() : QString::fromUtf8(lines.front());
        const QString fileName = lines.size() > 1 ? QString::fromUtf8(lines.at(1)) : QString();
        if (sidePath.endsWith(QLatin1String(".part"))) {
            save.fileName = fileName.isEmpty() ? QFileInfo(sidePath.chopped(5)).fileName() : fileName;
            clearSideFile(sidePath);
        }
    }
    for (const QString& path : temporaryFiles + QStringList{paths.savingMark()}) {
        if (!removeLeftOver(path))
            save.leftOver << path;
    }
    return save;
}

QString writeImportReplacingMark(const DataPaths& paths)
{
    // The import's take keeps the id its first mark gave it.
    std::string id = readTakeId(paths);
    if (id.empty())
        id = newTakeId();
    return writeMark(paths.recordingMark(), takeMarkContent(kImportReplacingLine, id));
}

bool takeMarkSaysImportReplacing(const DataPaths& paths)
{
    const std::optional<QList<QByteArray>> lines = takeMarkLines(paths);
    return lines && !lines->isEmpty() && lines->front() == kImportReplacingLine;
}

}
