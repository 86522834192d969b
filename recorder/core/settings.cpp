// Reading, writing, defaults and range checks of the Settings record.

#include "core/settings.h"

#include "core/file_toolbox.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>

namespace wavelark {

namespace {

template <typename Integer>
bool clampField(Integer& field, Integer lowest, Integer highest)
{
    const Integer clamped = std::clamp(field, lowest, highest);
    const bool changed = clamped != field;
    field = clamped;
    return changed;
}

bool normaliseSwitch(int32_t& field)
{
    const int32_t normalised = field != 0 ? 1 : 0;
    const bool changed = normalised != field;
    field = normalised;
    return changed;
}

bool endTextInside(char* field, std::size_t fieldSize)
{
    if (std::memchr(field, 0, fieldSize))
        return false;
    field[fieldSize - 1] = 0;
    return true;
}

bool validUtf8(const char* text, std::size_t length)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(QByteArrayView(text, static_cast<qsizetype>(length)));
    return !decoder.hasError();
}

uint32_t nearestBufferSize(uint32_t size)
{
    uint32_t nearest = kBufferSizes.front();
    for (uint32_t candidate : kBufferSizes) {
        const uint64_t distance = size > candidate ? size - candidate : candidate - size;
        const uint64_t best = size > nearest ? size - nearest : nearest - size;
        // On a tie the larger size wins: a little more latency is safer than dropouts.
        if (distance <= best)
            nearest = candidate;
    }
    return nearest;
}

}

void setSettingsText(char* field, std::size_t fieldSize, const QString& text)
{
    QByteArray bytes = text.toUtf8();
    std::size_t length = std::min<std::size_t>(bytes.size(), fieldSize - 1);
    // Never cut a multi-byte character in half.
    while (length > 0 && length < static_cast<std::size_t>(bytes.size())
           && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80)
        --length;
    std::memset(field, 0, fieldSize);
    std::memcpy(field, bytes.constData(), length);
}

Settings defaultSettings(const QString& archiveFolder)
{
    Settings settings;
    std::memset(&settings, 0, sizeof settings);
    setSettingsText(settings.archiveFolder, archiveFolder);
    settings.recordDevice = -1;
    settings.bufferSize = 8192;
    settings.bufferCount = 8;
    settings.recordSlider = 0;
    settings.playSlider = 0;
    settings.monitorThru = 0;
    settings.selectionStart = 0;
    settings.selectionEnd = 0;
    settings.recordEnabled = 1;
    settings.playEnabled = 1;
    settings.fadeStartOn = 0;
    settings.fadeEndOn = 0;
    settings.fadeStartLength = 100;  // milliseconds
    settings.fadeEndLength = 100;
    settings.maximizeOn = 0;
    settings.saveFormat = 0;
    settings.saveQuality = 0;
    settings.playbackDevice = -1;
    settings.showWelcome = 1;
    return settings;
}

bool clampSettings(Settings& settings, const QString& fallbackArchiveFolder)
{
    bool changed = false;
    changed |= endTextInside(settings.archiveFolder, sizeof settings.archiveFolder);
    changed |= endTextInside(settings.lastImportFile, sizeof settings.lastImportFile);

    const std::size_t folderLength = std::strlen(settings.archiveFolder);
    // Only an absolute folder in valid UTF-8 is usable: a relative one would land wherever the
    // program runs, and undecodable bytes would name a different folder than the one stored.
    if (folderLength == 0 || settings.archiveFolder[0] != '/' || !validUtf8(settings.archiveFolder, folderLength)) {
        setSettingsText(settings.archiveFolder, fallbackArchiveFolder);
        changed = true;
    } else if (settings.archiveFolder[folderLength - 1] != '/') {
        if (folderLength + 1 < sizeof settings.archiveFolder)
            settings.archiveFolder[folderLength] = '/';
        else
            setSettingsText(settings.archiveFolder, fallbackArchiveFolder);
        changed = true;
    }

    const uint32_t size = nearestBufferSize(settings.bufferSize);
    changed |= size != settings.bufferSize;
    settings.bufferSize = size;
    changed |= clampField<uint32_t>(settings.bufferCount, 2, 16);
    changed |= clampField<int32_t>(settings.recordDevice, -1, 2);
    changed |= clampField<int32_t>(settings.playbackDevice, -1, 2);
    changed |= clampField<int32_t>(settings.recordSlider, 0, 100);
    changed |= clampField<int32_t>(settings.playSlider, 0, 100);
    changed |= clampField<uint32_t>(settings.selectionStart, 0, kViewColumns);
    changed |= clampField<uint32_t>(settings.selectionEnd, 0, kViewColumns);
    changed |= clampField<uint32_t>(settings.fadeStartLength, 0, kLongestFade);
    changed |= clampField<uint32_t>(settings.fadeEndLength, 0, kLongestFade);
    changed |= clampField<int32_t>(settings.saveFormat, 0, 3);
    changed |= clampField<int32_t>(settings.saveQuality, 0, 2);
    for (int32_t* flag : {&settings.monitorThru, &settings.recordEnabled, &settings.playEnabled,
                          &settings.fadeStartOn, &settings.fadeEndOn, &settings.maximizeOn,
                          &settings.showWelcome})
        changed |= normaliseSwitch(*flag);
    return changed;
}

SettingsReadResult readSettingsFile(const QString& path, Settings& settings)
{
    QFile file(path);
    if (!file.exists())
        return SettingsReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return SettingsReadResult::Unreadable;
    char bytes[kSettingsFileSize];
    const qint64 count = file.read(bytes, sizeof bytes);
    if (count < 0)
        return SettingsReadResult::Unreadable;
    std::memcpy(&settings, bytes, static_cast<std::size_t>(count));
    return SettingsReadResult::Read;
}

bool writeSettingsFile(const QString& path, const Settings& settings, QString* error)
{
    const std::optional<FileFailure> failure = replaceFile(
        QFile::encodeName(path).toStdString(),
        std::span(reinterpret_cast<const uint8_t*>(&settings), sizeof settings));
    if (!failure)
        return true;
    if (error) {
        const char* step = failure->step == FileFailure::Step::Creating  ? "creating a new settings file"
                           : failure->step == FileFailure::Step::Writing ? "writing the settings"
                                                                          : "replacing the settings file";
        *error = QStringLiteral("%1: %2").arg(QLatin1String(step), QString::fromLocal8Bit(failure->reason().c_str()));
    }
    return false;
}

}
