// The Settings record: the recorder's process-wide settings, held in memory for the whole run and
// stored byte for byte as settings.dat in the data folder. All integers are 32-bit little-endian;
// texts are NUL-terminated UTF-8 in fixed arrays. The file has no magic, version or checksum.
#pragma once

#include <QString>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace wavelark {

#pragma pack(push, 1)
struct Settings {
    char archiveFolder[2048];     // ends with '/'
    int32_t recordDevice;         // -1 = default device, 0..2 = devices "1".."3"
    uint32_t bufferSize;          // bytes per capture and playback buffer
    uint32_t bufferCount;         // capture and playback buffers
    int32_t recordSlider;         // 0..100, 0 at the top = full volume
    int32_t playSlider;           // 0..100
    int32_t monitorThru;          // 1 when "Monitor - Thru" is checked
    uint32_t selectionStart;      // view columns 0..555
    uint32_t selectionEnd;
    int32_t recordEnabled;        // 0 makes the captured input silent
    int32_t playEnabled;          // 0 makes playback silent
    char lastImportFile[1024];
    int32_t fadeStartOn;
    int32_t fadeEndOn;
    uint32_t fadeStartLength;     // milliseconds
    uint32_t fadeEndLength;       // milliseconds
    int32_t maximizeOn;
    int32_t saveFormat;           // index in the "Save As" list
    int32_t saveQuality;          // index in the "Quality" list
    int32_t playbackDevice;       // -1 = default device, 0..2 = devices "1".."3"
    int32_t showWelcome;          // 1 shows the welcome dialog at start-up
};
#pragma pack(pop)

inline constexpr std::size_t kSettingsFileSize = 3148;

static_assert(sizeof(Settings) == kSettingsFileSize);
static_assert(offsetof(Settings, archiveFolder) == 0);
static_assert(offsetof(Settings, recordDevice) == 2048);
static_assert(offsetof(Settings, bufferSize) == 2052);
static_assert(offsetof(Settings, bufferCount) == 2056);
static_assert(offsetof(Settings, recordSlider) == 2060);
static_assert(offsetof(Settings, playSlider) == 2064);
static_assert(offsetof(Settings, monitorThru) == 2068);
static_assert(offsetof(Settings, selectionStart) == 2072);
static_assert(offsetof(Settings, selectionEnd) == 2076);
static_assert(offsetof(Settings, recordEnabled) == 2080);
static_assert(offsetof(Settings, playEnabled) == 2084);
static_assert(offsetof(Settings, lastImportFile) == 2088);
static_assert(offsetof(Settings, fadeStartOn) == 3112);
static_assert(offsetof(Settings, fadeEndOn) == 3116);
static_assert(offsetof(Settings, fadeStartLength) == 3120);
static_assert(offsetof(Settings, fadeEndLength) == 3124);
static_assert(offsetof(Settings, maximizeOn) == 3128);
static_assert(offsetof(Settings, saveFormat) == 3132);
static_assert(offsetof(Settings, saveQuality) == 3136);
static_assert(offsetof(Settings, playbackDevice) == 3140);
static_assert(offsetof(Settings, showWelcome) == 3144);
static_assert(std::endian::native == std::endian::little, "settings.dat is stored in the host's byte order");

// The six buffer sizes of the "Latency" menu, fastest first, and the four counts of "Buffers".
inline constexpr std::array<uint32_t, 6> kBufferSizes = {2048, 4096, 6144, 8192, 16384, 32768};
inline constexpr std::array<uint32_t, 4> kBufferCounts = {2, 4, 8, 16};
// The longest fade the save dialog can set, in milliseconds.
inline constexpr uint32_t kLongestFade = 10000;
// Width of the waveform view in columns; selection edges lie in 0..kViewColumns.
inline constexpr uint32_t kViewColumns = 555;

// The record of a new settings file. archiveFolder must end with '/'; it is cut to fit.
Settings defaultSettings(const QString& archiveFolder);

// Copies text into a fixed field, cut at a character boundary so that it always ends inside it.
void setSettingsText(char* field, std::size_t fieldSize, const QString& text);
template <std::size_t Size>
void setSettingsText(char (&field)[Size], const QString& text)
{
    setSettingsText(field, Size, text);
}

// Brings every field into the range the program can use: the buffer size to the nearest of the
// six sizes, the buffer count to 2..16, devices to -1..2, sliders to 0..100, selection edges to
// 0..555, fade lengths to 0..10000 ms, list indexes to 0..2, on/off fields to 0 or 1, texts ended inside their arrays. An
// empty, relative or undecodable archive folder becomes fallbackArchiveFolder; a trailing '/' is added where missing.
// Returns true when something had to change.
bool clampSettings(Settings& settings, const QString& fallbackArchiveFolder);

enum class SettingsReadResult { Read, Missing, Unreadable };

// Reads up to 3,148 bytes of the file into settings; a shorter file leaves the rest of the
// record as it was (start from defaultSettings). Values are taken as they stand (see
// clampSettings). Unreadable: the path exists but cannot be read (a folder, no permission).
SettingsReadResult readSettingsFile(const QString& path, Settings& settings);

// Writes the whole record to a temporary file beside path, flushes it to disk and renames it
// over path, so that a failure while writing (a full disk) never leaves a broken settings file.
// Returns false, with the step and the system's reason in error, when the file could not be
// written; the old file is then unchanged and no temporary file is left.
bool writeSettingsFile(const QString& path, const Settings& settings, QString* error = nullptr);

}
