// Removing an archive file: to the home Trash, restorable from there; deleted for good only
// where no Trash can be made; never anything but a file.

#include "archive/archive_trash.h"

#include "trash_home.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace wavelark {
namespace {

namespace fs = std::filesystem;

enum class Found { File, Folder, Nothing };

struct TrashCase {
    const char* name;
    Found found;        // what lies at the path
    bool trashAvailable;
    TrashResult::Outcome outcome;
    bool stays;         // the path still holds what it held
    bool inTrash;       // the file is in Trash/files
};

class MoveToTrash : public ::testing::TestWithParam<TrashCase> {};

TEST_P(MoveToTrash, RemovesOnlyFilesAndDeletesForGoodOnlyWithoutATrash)
{
    const TrashCase& row = GetParam();
    testing::TrashHome home;
    if (!row.trashAvailable)
        home.withoutTrash();
    testing::TemporaryFolder archive;
    const fs::path path = archive.path() / "side one.wav";
    if (row.found == Found::File)
        testing::writeFile(path, std::string(4096, 's'));
    else if (row.found == Found::Folder)
        fs::create_directories(path / "inside");

    const TrashResult result = moveFileToTrash(QByteArray(path.c_str()));

    EXPECT_EQ(result.outcome, row.outcome);
    EXPECT_EQ(result.reason.isEmpty(), row.outcome != TrashResult::Outcome::Failed) << result.reason.toStdString();
    EXPECT_EQ(fs::exists(path), row.stays);
    EXPECT_EQ(fs::exists(home.trashFiles() / "side one.wav"), row.inTrash);
    if (row.inTrash) {
        EXPECT_EQ(fs::file_size(home.trashFiles() / "side one.wav"), 4096u);
        const std::string info = testing::readFile(home.trashInfo() / "side one.wav.trashinfo");
        EXPECT_NE(info.find("[Trash Info]"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Archive, MoveToTrash,
    ::testing::Values(
        TrashCase{"FileToTheTrash", Found::File, true, TrashResult::Outcome::Trashed, false, true},
        TrashCase{"FileWithoutATrash", Found::File, false, TrashResult::Outcome::Deleted, false, false},
        TrashCase{"FolderStays", Found::Folder, true, TrashResult::Outcome::Failed, true, false},
        TrashCase{"FolderStaysWithoutATrash", Found::Folder, false, TrashResult::Outcome::Failed, true, false},
        TrashCase{"NothingThere", Found::Nothing, true, TrashResult::Outcome::Failed, false, false}),
    [](const ::testing::TestParamInfo<TrashCase>& info) { return std::string(info.param.name); });

}
}
