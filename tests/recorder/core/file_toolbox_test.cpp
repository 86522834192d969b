// The file toolbox: the replacement of a file, whole or not at all, and the descriptor helpers it
// rests on.

#include "file_size_limit.h"

#include "core/file_toolbox.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wavelark {
namespace {

using testing::TemporaryFolder;

std::vector<std::string> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::span<const uint8_t> bytesOf(const std::string& text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

struct ReplaceCase {
    const char* name;
    const char* oldContent;        // nullptr: no file before
    std::size_t newSize;           // bytes of the replacement
    uint64_t fileSizeLimit;        // 0: none; else writes past it fail as on a full disk
    bool folderInTheWay;           // a folder stands where the file should go
    bool staleSideFile;            // a killed program's temporary file is there
    std::optional<FileFailure::Step> failure;
    int code;                      // the failure's system error
};

class FileReplace : public ::testing::TestWithParam<ReplaceCase> {};

// Whatever happens, the folder holds the old file or the new one, whole, and nothing else.
TEST_P(FileReplace, LeavesTheOldFileOrTheNewOneWholeAndNoTemporaryFile)
{
    const ReplaceCase& row = GetParam();
    TemporaryFolder folder;
    const std::string path = folder.file("settings.dat");
    if (row.oldContent)
        testing::writeFile(path, row.oldContent);
    if (row.folderInTheWay)
        std::filesystem::create_directory(path);
    if (row.staleSideFile)
        testing::writeFile(path + ".part", std::string(70000, 'z'));
    std::string content(row.newSize, '\0');
    for (std::size_t index = 0; index < content.size(); ++index)
        content[index] = static_cast<char>('a' + index % 26);

    std::optional<FileFailure> failure;
    {
        std::optional<testing::FileSizeLimit> fullDisk;
        if (row.fileSizeLimit > 0) {
            fullDisk.emplace(row.fileSizeLimit);
            ASSERT_TRUE(fullDisk->active());
        }
        failure = replaceFile(path, bytesOf(content));
    }

    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"settings.dat"});
    if (!row.failure) {
        ASSERT_FALSE(failure.has_value()) << failure->reason();
        EXPECT_EQ(testing::readFile(path), content);
        return;
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->step, *row.failure);
    EXPECT_EQ(failure->code, row.code);
    EXPECT_EQ(failure->reason(), std::strerror(row.code));
    if (row.folderInTheWay)
        EXPECT_TRUE(std::filesystem::is_directory(path));
    else
        EXPECT_EQ(testing::readFile(path), row.oldContent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileReplace,
    ::testing::Values(
        ReplaceCase{"NewFile", nullptr, 3000, 0, false, false, std::nullopt, 0},
        ReplaceCase{"ShorterContentOverALongerFile", "0123456789012345678901234567890", 7, 0, false, false,
                    std::nullopt, 0},
        ReplaceCase{"EmptyContent", "old", 0, 0, false, false, std::nullopt, 0},
        ReplaceCase{"OverAKilledProgramsTemporaryFile", "old", 100, 0, false, true, std::nullopt, 0},
        ReplaceCase{"DiskFullPartWay", "the old settings", 200000, 65536, false, false, FileFailure::Step::Writing,
                    EFBIG},
        ReplaceCase{"DiskFullAtOnce", "the old settings", 10, 1, false, false, FileFailure::Step::Writing, EFBIG},
        ReplaceCase{"FolderInTheWay", nullptr, 10, 0, true, false, FileFailure::Step::Replacing, EISDIR}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileReplace, InAMissingFolderFailsAtCreatingWithTheReason)
{
    TemporaryFolder folder;
    const std::optional<FileFailure> failure = replaceFile(folder.file("missing/wd.dat"), bytesOf("x"));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->step, FileFailure::Step::Creating);
    EXPECT_EQ(failure->code, ENOENT);
}

// A replacement abandoned part-way (its writer gave up, or went out of scope) changes nothing.
TEST(FileReplace, UncommittedReplacementLeavesTheFileAsItWas)
{
    TemporaryFolder folder;
    const std::string path = folder.file("recording.raw");
    testing::writeFile(path, "recorded");
    {
        FileReplacement replacement;
        ASSERT_FALSE(replacement.begin(path, ".maximised").has_value());
        ASSERT_FALSE(replacement.write(bytesOf("maximised"), 0).has_value());
        EXPECT_TRUE(std::filesystem::exists(path + ".maximised"));
    }
    EXPECT_EQ(testing::readFile(path), "recorded");
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"recording.raw"});
}

// A finished side file goes in place of the file, or, when it cannot, the file stays as it was
// and the side file stays for its writer.
TEST(FileReplace, MoveIntoPlaceReplacesOrLeavesBothAsTheyWere)
{
    TemporaryFolder folder;
    const std::string path = folder.file("Side A.mp3");
    const std::string side = path + ".part";
    testing::writeFile(path, "old");
    testing::writeFile(side, "new");
    EXPECT_FALSE(moveIntoPlace(side, path).has_value());
    EXPECT_EQ(testing::readFile(path), "new");
    EXPECT_EQ(folderEntries(folder.path()), std::vector<std::string>{"Side A.mp3"});

    const std::optional<FileFailure> missing = moveIntoPlace(side, path);
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->step, FileFailure::Step::Writing);
    EXPECT_EQ(missing->code, ENOENT);
    EXPECT_EQ(testing::readFile(path), "new");

    const std::string busy = folder.file("taken");
    std::filesystem::create_directory(busy);
    std::filesystem::create_directory(busy + "/inside");
    testing::writeFile(side, "newer");
    const std::optional<FileFailure> refused = moveIntoPlace(side, busy);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->step, FileFailure::Step::Replacing);
    EXPECT_EQ(refused->code, EISDIR);
    EXPECT_EQ(testing::readFile(side), "newer");
    EXPECT_TRUE(std::filesystem::exists(busy + "/inside"));
}

TEST(FileToolbox, ReadFullyStopsShortOnlyWhereTheFileEnds)
{
    TemporaryFolder folder;
    const std::string path = folder.file("data");
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_TRUE(file.isOpen());
    const std::string text = "0123456789";
    ASSERT_TRUE(writeFully(file.get(), bytesOf(text).data(), text.size(), 5));
    std::vector<uint8_t> into(64);
    EXPECT_EQ(readFully(file.get(), into.data(), into.size(), 7), 8);
    EXPECT_EQ(std::string(into.begin(), into.begin() + 8), "23456789");
    EXPECT_EQ(readFully(file.get(), into.data(), into.size(), 100), 0);
    EXPECT_TRUE(file.close());
    EXPECT_EQ(readFully(-1, into.data(), 1, 0), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST(FileToolbox, FolderOfAPath)
{
    EXPECT_EQ(folderOf("/data/wavelark/settings.dat"), "/data/wavelark/");
    EXPECT_EQ(folderOf("settings.dat"), "./");
    EXPECT_EQ(folderOf("/wd.dat"), "/");
}

}
}
