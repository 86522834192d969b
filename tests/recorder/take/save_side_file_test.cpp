// The side file a save's converter writes beside the archive file: it fits the folder's file
// names whenever the archive file's name does.

#include "capture_test_support.h"

#include "take/save_conversion.h"

#include <gtest/gtest.h>

#include <QString>

#include <filesystem>
#include <string>

namespace wavelark {
namespace {

struct SideCase {
    const char* name;
    std::string fileName;
    bool keepsTheName; // the side file is the name + ".part"
};

class SidePath : public ::testing::TestWithParam<SideCase> {};

// Every file name the folder takes has a side file that fits too, ends in ".part" and starts
// with the name (cut on a character boundary).
TEST_P(SidePath, FitsTheFileSystemAndEndsInPart)
{
    testing::TemporaryFolder folder;
    const std::string destination = folder.file(GetParam().fileName);
    const std::string side = sidePathOf(destination);
    const std::string sideName = std::filesystem::path(side).filename().string();
    ASSERT_EQ(side.substr(0, side.size() - sideName.size()), folder.path().string() + "/");
    EXPECT_LE(sideName.size(), longestFileName(folder.path().string()));
    EXPECT_TRUE(sideName.ends_with(".part"));
    if (GetParam().keepsTheName) {
        EXPECT_EQ(side, destination + ".part");
        return;
    }
    // The name's start is kept as long as it fits, less at most part of a character.
    EXPECT_GE(sideName.size() + 1, longestFileName(folder.path().string()));
    EXPECT_TRUE(GetParam().fileName.starts_with(sideName.substr(0, sideName.size() - 22)));
    EXPECT_EQ(QString::fromUtf8(sideName).toUtf8().toStdString(), sideName);
    // A name that differs only at its end has a side file of its own.
    std::string other = GetParam().fileName;
    other[other.size() - 5] = other[other.size() - 5] == 'x' ? 'y' : 'x';
    EXPECT_NE(sidePathOf(folder.file(other)), side);
    // The file system takes it.
    testing::writeFile(side, "side");
    EXPECT_TRUE(std::filesystem::exists(side));
}

INSTANTIATE_TEST_SUITE_P(
    Names, SidePath,
    ::testing::Values(SideCase{"Short", "take.mp3", true}, SideCase{"LongestKept", std::string(246, 'a') + ".mp3", true},
                      SideCase{"OneTooLong", std::string(247, 'a') + ".mp3", false},
                      SideCase{"AtTheLimit", std::string(251, 'a') + ".wav", false},
                      SideCase{"TwoByteCharacters", [] {
                                   std::string name;
                                   for (int index = 0; index < 125; ++index)
                                       name += "\xc3\xa9";
                                   return name + ".wma";
                               }(),
                               false}),
    [](const auto& info) { return std::string(info.param.name); });

}
}
