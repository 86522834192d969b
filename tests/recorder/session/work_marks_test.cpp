// The take mark: the change it names, the take id it carries, and marks from before ids.

#include "session/work_marks.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace wavelark {
namespace {

DataPaths pathsIn(const testing::TemporaryFolder& folder)
{
    return DataPaths{QString::fromStdString(folder.path().string()) + QLatin1Char('/')};
}

bool isTakeId(const std::string& id)
{
    return id.size() == 32 && std::all_of(id.begin(), id.end(), [](char digit) {
               return std::isdigit(static_cast<unsigned char>(digit)) || (digit >= 'a' && digit <= 'f');
           });
}

class TakeMarkWritten : public ::testing::TestWithParam<TakeChange> {};

// Every Record and every import names its take anew: a journal of the take before can never match.
TEST_P(TakeMarkWritten, NamesTheChangeAndANewTakeId)
{
    testing::TemporaryFolder folder;
    const DataPaths paths = pathsIn(folder);
    ASSERT_TRUE(writeTakeMark(paths, GetParam()).isEmpty());
    EXPECT_EQ(readTakeMark(paths), GetParam());
    const std::string first = readTakeId(paths);
    EXPECT_TRUE(isTakeId(first)) << first;
    ASSERT_TRUE(writeTakeMark(paths, GetParam()).isEmpty());
    EXPECT_NE(readTakeId(paths), first);
    EXPECT_TRUE(isTakeId(readTakeId(paths)));
    // Replaced whole: nothing beside the mark.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()),
              1);
}

INSTANTIATE_TEST_SUITE_P(Changes, TakeMarkWritten, ::testing::Values(TakeChange::Recording, TakeChange::Import),
                         [](const auto& info) { return info.param == TakeChange::Import ? "Import" : "Recording"; });

struct StoredMark {
    const char* name;
    const char* content;
    TakeChange change;
    const char* takeId;
};

class TakeMarkRead : public ::testing::TestWithParam<StoredMark> {};

// Marks from before ids keep their meaning and name no id, so their take is matched as before.
TEST_P(TakeMarkRead, GivesTheChangeAndTheIdItHolds)
{
    testing::TemporaryFolder folder;
    const DataPaths paths = pathsIn(folder);
    testing::writeFile(folder.path() / "recording.mark", GetParam().content);
    EXPECT_EQ(readTakeMark(paths), GetParam().change);
    EXPECT_EQ(readTakeId(paths), GetParam().takeId);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, TakeMarkRead,
    ::testing::Values(
        StoredMark{"EmptyFromBeforeIds", "", TakeChange::Recording, ""},
        StoredMark{"ImportFromBeforeIds", "import\n", TakeChange::Import, ""},
        StoredMark{"Recording", "recording\ntake 0123456789abcdef0123456789ABCDEF\n", TakeChange::Recording,
                   "0123456789abcdef0123456789abcdef"},
        StoredMark{"Import", "import\ntake 00000000000000000000000000000001\n", TakeChange::Import,
                   "00000000000000000000000000000001"},
        StoredMark{"ShortId", "recording\ntake 0123\n", TakeChange::Recording, ""},
        StoredMark{"IdThatIsNoNumber", "import\ntake 0123456789abcdef0123456789abcdeg\n", TakeChange::Import, ""},
        StoredMark{"Unknown", "\x01\x02garbage", TakeChange::Recording, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TakeMark, NoMarkNamesNoChangeAndNoId)
{
    testing::TemporaryFolder folder;
    EXPECT_EQ(readTakeMark(pathsIn(folder)), std::nullopt);
    EXPECT_EQ(readTakeId(pathsIn(folder)), "");
}

// The start-up names the file an interrupted save was writing as the user named it, also when its
// side file had to be a shortened name; a mark from before names were written gives the side
// file's name without ".part". Only a ".part" side file is removed.
TEST(SavingMark, TheInterruptedSaveIsNamedAsTheUserNamedIt)
{
    struct Row {
        const char* side;
        const char* name;  // nullptr: a mark as written before names
        const char* expected;
    };
    for (const Row& row : {Row{"Side A.mp3.part", "Side A.mp3", "Side A.mp3"},
                           Row{"A very long na~0123456789abcdef.part", "A very long name.mp3", "A very long name.mp3"},
                           Row{"Side B.wav.part", nullptr, "Side B.wav"}}) {
        testing::TemporaryFolder folder;
        const DataPaths paths = pathsIn(folder);
        const QString side = QString::fromStdString((folder.path() / row.side).string());
        QFile sideFile(side);
        ASSERT_TRUE(sideFile.open(QIODevice::WriteOnly));
        sideFile.close();
        ASSERT_TRUE(writeSavingMark(paths, side, row.name ? QString::fromUtf8(row.name) : QString()).isEmpty());
        const std::optional<InterruptedSave> save = clearInterruptedSave(paths);
        ASSERT_TRUE(save.has_value());
        EXPECT_EQ(save->fileName.toStdString(), row.expected);
        EXPECT_TRUE(save->leftOver.isEmpty());
        EXPECT_FALSE(QFile::exists(side));
        EXPECT_FALSE(QFile::exists(paths.savingMark()));
    }
}

TEST(TakeMark, MarkThatCannotBeWrittenGivesTheReason)
{
    testing::TemporaryFolder folder;
    const DataPaths paths{QString::fromStdString((folder.path() / "missing").string()) + QLatin1Char('/')};
    EXPECT_FALSE(writeTakeMark(paths, TakeChange::Recording).isEmpty());
    EXPECT_EQ(readTakeMark(paths), std::nullopt);
}

}
}
