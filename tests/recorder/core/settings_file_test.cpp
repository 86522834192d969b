// The Settings record: its byte image, the defaults of a new file, range checks on load and the
// safe replacement of the file.

#include "file_size_limit.h"
#include "recorder_test_support.h"

#include "core/settings.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstring>

namespace wavelark {
namespace {

using testing::SettingsBytes;

std::string bytesOf(const Settings& settings)
{
    return std::string(reinterpret_cast<const char*>(&settings), sizeof settings);
}

Settings settingsFrom(const SettingsBytes& bytes)
{
    Settings settings;
    std::memcpy(&settings, bytes.bytes.data(), sizeof settings);
    return settings;
}

TEST(SettingsRecord, DefaultsAreTheTableValuesAtTheirOffsets)
{
    const Settings settings = defaultSettings(QStringLiteral("/music/"));
    EXPECT_EQ(bytesOf(settings), testing::defaultSettingsBytes("/music/").bytes);
}

struct ClampCase {
    const char* name;
    std::size_t offset;
    int32_t stored;
    int32_t expected;
};

class SettingsClamp : public ::testing::TestWithParam<ClampCase> {};

TEST_P(SettingsClamp, OutOfRangeFieldIsBroughtIntoRange)
{
    const ClampCase& c = GetParam();
    SettingsBytes bytes = testing::defaultSettingsBytes("/music/");
    bytes.putInt(c.offset, c.stored);
    Settings settings = settingsFrom(bytes);
    EXPECT_EQ(clampSettings(settings, QStringLiteral("/fallback/")), c.stored != c.expected);
    EXPECT_EQ(testing::intAt(bytesOf(settings), c.offset), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SettingsClamp,
    ::testing::Values(ClampCase{"BufferSizeZero", 2052, 0, 2048}, ClampCase{"BufferSizeBetween", 2052, 7000, 6144},
                      ClampCase{"BufferSizeTieGoesUp", 2052, 12288, 16384},
                      ClampCase{"BufferSizeHuge", 2052, -1, 32768}, ClampCase{"BufferSizeValid", 2052, 4096, 4096},
                      ClampCase{"BufferCountZero", 2056, 0, 2}, ClampCase{"BufferCountHuge", 2056, 1000, 16},
                      ClampCase{"BufferCountOdd", 2056, 5, 5}, ClampCase{"RecordDeviceLow", 2048, -7, -1},
                      ClampCase{"RecordDeviceHigh", 2048, 9, 2}, ClampCase{"PlaybackDeviceHigh", 3140, 3, 2},
                      ClampCase{"RecordSliderNegative", 2060, -5, 0}, ClampCase{"PlaySliderHigh", 2064, 101, 100},
                      ClampCase{"SelectionStartHigh", 2072, 556, 555}, ClampCase{"SelectionEndHuge", 2076, -1, 555},
                      ClampCase{"SaveFormatFlacKept", 3132, 3, 3}, ClampCase{"SaveFormatHigh", 3132, 4, 3}, ClampCase{"SaveQualityNegative", 3136, -1, 0},
                      ClampCase{"MonitorThruNonZero", 2068, 7, 1}, ClampCase{"ShowWelcomeNegative", 3144, -1, 1},
                      ClampCase{"FadeLengthKept", 3120, 5000, 5000},
                      ClampCase{"FadeInLengthHuge", 3120, 655038752, 10000},
                      ClampCase{"FadeOutLengthNegative", 3124, -1, 10000}),
    [](const ::testing::TestParamInfo<ClampCase>& info) { return std::string(info.param.name); });

TEST(SettingsRecord, TextsWithoutTerminatorAreEndedInsideTheirArrays)
{
    SettingsBytes bytes = testing::defaultSettingsBytes("/music/");
    std::memset(bytes.bytes.data(), 'a', 2048);
    std::memset(bytes.bytes.data() + 2088, 'b', 1024);
    Settings settings = settingsFrom(bytes);
    EXPECT_TRUE(clampSettings(settings, QStringLiteral("/fallback/")));
    EXPECT_LT(strnlen(settings.archiveFolder, sizeof settings.archiveFolder), sizeof settings.archiveFolder);
    EXPECT_EQ(strnlen(settings.lastImportFile, sizeof settings.lastImportFile), 1023u);
    // A folder that fills the whole array has no room for its '/': the fallback is used.
    EXPECT_STREQ(settings.archiveFolder, "/fallback/");
}

TEST(SettingsRecord, ArchiveFolderGetsItsTrailingSlashAndAnEmptyOneTheFallback)
{
    Settings settings = defaultSettings(QStringLiteral("/records"));
    clampSettings(settings, QStringLiteral("/fallback/"));
    EXPECT_STREQ(settings.archiveFolder, "/records/");
    settings.archiveFolder[0] = 0;
    clampSettings(settings, QStringLiteral("/fallback/"));
    EXPECT_STREQ(settings.archiveFolder, "/fallback/");
}

TEST(SettingsRecord, RelativeOrUndecodableArchiveFolderGivesWayToTheFallback)
{
    for (const char* stored : {"records/", "/music/\xff\xfe/"}) {
        SettingsBytes bytes = testing::defaultSettingsBytes(stored);
        Settings settings = settingsFrom(bytes);
        EXPECT_TRUE(clampSettings(settings, QStringLiteral("/fallback/")));
        EXPECT_STREQ(settings.archiveFolder, "/fallback/") << stored;
    }
}

TEST(SettingsRecord, LongTextIsCutAtACharacterBoundary)
{
    char field[8];
    // "ééééé" is ten bytes; seven fit, which would split the fourth character.
    setSettingsText(field, QString::fromUtf8("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"));
    EXPECT_STREQ(field, "\xc3\xa9\xc3\xa9\xc3\xa9");
}

TEST(SettingsFile, ShortFileLeavesTheRestOfTheRecordAsItWas)
{
    testing::TemporaryFolder folder;
    const SettingsBytes full = testing::defaultSettingsBytes("/music/");
    testing::writeFile(folder.path() / "settings.dat", full.bytes.substr(0, 3000));
    Settings settings{};
    ASSERT_EQ(readSettingsFile(QString::fromStdString(folder.file("settings.dat")), settings), SettingsReadResult::Read);
    const std::string read = bytesOf(settings);
    EXPECT_EQ(read.substr(0, 3000), full.bytes.substr(0, 3000));
    EXPECT_EQ(read.substr(3000), std::string(148, '\0'));
}

TEST(SettingsFile, MissingFileIsReportedAsMissing)
{
    testing::TemporaryFolder folder;
    Settings settings{};
    EXPECT_EQ(readSettingsFile(QString::fromStdString(folder.file("settings.dat")), settings), SettingsReadResult::Missing);
}

TEST(SettingsFile, WriteReplacesTheFileWholeAndLeavesNoTemporaryFile)
{
    testing::TemporaryFolder folder;
    const QString path = QString::fromStdString(folder.file("settings.dat"));
    testing::writeFile(folder.path() / "settings.dat", std::string(5000, 'x'));
    Settings settings = defaultSettings(QStringLiteral("/music/"));
    settings.bufferCount = 16;
    ASSERT_TRUE(writeSettingsFile(path, settings));
    EXPECT_EQ(testing::readFile(folder.path() / "settings.dat"), bytesOf(settings));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()), 1);
}

TEST(SettingsFile, FailedWriteLeavesTheOldFileUnchanged)
{
    testing::TemporaryFolder folder;
    // A folder in the way of the temporary file's rename target makes the write fail.
    std::filesystem::create_directories(folder.path() / "settings.dat");
    EXPECT_FALSE(writeSettingsFile(QString::fromStdString(folder.file("settings.dat")), defaultSettings(QStringLiteral("/m/"))));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "settings.dat"));
    EXPECT_FALSE(writeSettingsFile(QString::fromStdString(folder.file("missing/settings.dat")), defaultSettings(QStringLiteral("/m/"))));
}

// A disk that fills while the settings are written: every write past 1,000 bytes fails, as on a
// full disk. The old file stays whole, no temporary file is left and the reason is given.
TEST(SettingsFile, FullDiskDuringTheWriteKeepsTheOldFile)
{
    testing::TemporaryFolder folder;
    const std::string old = bytesOf(defaultSettings(QStringLiteral("/old/")));
    testing::writeFile(folder.path() / "settings.dat", old);
    QString error;
    bool written = true;
    {
        const testing::FileSizeLimit fullDisk(1000);
        ASSERT_TRUE(fullDisk.active());
        written = writeSettingsFile(QString::fromStdString(folder.file("settings.dat")),
                                    defaultSettings(QStringLiteral("/new/")), &error);
    }
    EXPECT_FALSE(written);
    EXPECT_TRUE(error.startsWith(QStringLiteral("writing the settings: "))) << error.toStdString();
    EXPECT_EQ(testing::readFile(folder.path() / "settings.dat"), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()), 1);
}

}
}
