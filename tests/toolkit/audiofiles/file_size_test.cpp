// FileSize: the length of a regular file from its status, whatever the caller may do with it.

#include "support/temporary_folder.h"

#include "sorvak.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>

using namespace wavelark::testing;

namespace {

constexpr uint64_t kGiB = uint64_t(1) << 30;

// Sets a file's length without writing data: the file system keeps it sparse.
void resize(const std::string& path, uint64_t length)
{
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0);
    EXPECT_EQ(ftruncate(file, static_cast<off_t>(length)), 0);
    close(file);
}

}

TEST(FileSize, EmptyMissingAndFolderAllGiveZero)
{
    TemporaryFolder folder;
    writeFile(folder.file("empty.raw"), "");
    EXPECT_EQ(FileSize(folder.file("empty.raw").c_str()), 0u);
    EXPECT_EQ(FileSize(folder.file("missing.raw").c_str()), 0u);
    EXPECT_EQ(FileSize(folder.path().c_str()), 0u);
    EXPECT_EQ(FileSize("/proc/self/fd"), 0u);
    EXPECT_EQ(FileSize(""), 0u);
    EXPECT_EQ(FileSize(nullptr), 0u);
}

TEST(FileSize, RegularFileGivesItsLength)
{
    TemporaryFolder folder;
    writeFile(folder.file("take.raw"), std::string(1234, 'a'));
    EXPECT_EQ(FileSize(folder.file("take.raw").c_str()), 1234u);
}

TEST(FileSize, ReadOnlyFileGivesItsLength)
{
    TemporaryFolder folder;
    std::string path = folder.file("read-only.wav");
    writeFile(path, std::string(4444, 'r'));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(FileSize(path.c_str()), 4444u);
}

// The running test program is a file that nobody, not even root, may open for writing: its
// length must come all the same.
TEST(FileSize, FileThatCannotBeOpenedForWritingGivesItsLength)
{
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    int file = open(self.c_str(), O_WRONLY | O_CLOEXEC);
    if (file >= 0)
        close(file);
    ASSERT_LT(file, 0) << "the running program could be opened for writing";
    ASSERT_TRUE(errno == ETXTBSY || errno == EACCES) << errno;
    EXPECT_EQ(FileSize(self.c_str()), static_cast<uint32_t>(std::filesystem::file_size(self)));
}

TEST(FileSize, LengthsFrom4GiBOnAreHeldAtTheLargest32BitValue)
{
    TemporaryFolder folder;
    std::string path = folder.file("sparse.raw");
    struct Row {
        uint64_t length;
        uint32_t expected;
    };
    for (Row row : {Row{4 * kGiB - 2, 4294967294u}, Row{4 * kGiB - 1, 4294967295u}, Row{4 * kGiB, 4294967295u},
                    Row{4 * kGiB + 44, 4294967295u}, Row{5 * kGiB, 4294967295u}}) {
        SCOPED_TRACE(row.length);
        resize(path, row.length);
        EXPECT_EQ(FileSize(path.c_str()), row.expected);
    }
}
