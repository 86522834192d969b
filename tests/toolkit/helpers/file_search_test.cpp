// SearchFiles and MakeFolder on real folders under the test's temporary home.

#include "sorvak.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using wavelark::testing::TemporaryFolder;
using wavelark::testing::writeFile;
namespace fs = std::filesystem;

struct Reported {
    std::string path;
    std::string folder;
    std::string name;
    int match;
};

std::vector<Reported> g_reported;
// The folder in which the first file makes the search stop; empty: never stop.
std::string g_stopInFolder;

int recordFile(const char* path, const char* folder, const char* name, int match)
{
    g_reported.push_back({path, folder, name, match});
    return !g_stopInFolder.empty() && g_stopInFolder == folder ? 1 : 0;
}

class SearchFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_reported.clear();
        g_stopInFolder.clear();
        for (const char* file : {"take.Wav", "notes.txt", "song.mp3", "ab", "Sub/deep.wma", "Sub/Inner/x.WAV"})
            add(file);
    }

    void add(const std::string& relative)
    {
        const fs::path path = m_folder.path() / relative;
        fs::create_directories(path.parent_path());
        writeFile(path, "data");
    }

    std::string root() const { return m_folder.path().string(); }

    // Match flags by path relative to the root.
    std::map<std::string, int> reportedByRelativePath() const
    {
        std::map<std::string, int> found;
        for (const Reported& file : g_reported) {
            EXPECT_EQ(file.path, file.folder + file.name);
            EXPECT_EQ(file.folder.back(), '/');
            EXPECT_EQ(file.path.rfind(root() + "/", 0), 0u) << file.path;
            const std::string relative = file.path.substr(root().size() + 1);
            EXPECT_FALSE(found.count(relative)) << relative << " reported twice";
            found[relative] = file.match;
        }
        return found;
    }

    TemporaryFolder m_folder;
};

TEST_F(SearchFilesTest, EveryFileOfEveryFolderMatchesStarDotStar)
{
    EXPECT_EQ(SearchFiles(root().c_str(), "*.*", recordFile, 0), 1);
    const std::map<std::string, int> expected {{"take.Wav", 1}, {"notes.txt", 1}, {"song.mp3", 1},
                                               {"ab", 1},       {"Sub/deep.wma", 1}, {"Sub/Inner/x.WAV", 1}};
    EXPECT_EQ(reportedByRelativePath(), expected);
}

TEST_F(SearchFilesTest, ExtensionListMatchesLastThreeCharactersInAnyCase)
{
    EXPECT_EQ(SearchFiles(root().c_str(), "WAV,MP3,WMA,", recordFile, 0), 1);
    const std::map<std::string, int> expected {{"take.Wav", 1}, {"notes.txt", 0}, {"song.mp3", 1},
                                               {"ab", 0},       {"Sub/deep.wma", 1}, {"Sub/Inner/x.WAV", 1}};
    EXPECT_EQ(reportedByRelativePath(), expected);
}

TEST_F(SearchFilesTest, NoDescentKeepsToTheFolderAndItsCase)
{
    // The folder is passed with a trailing separator of either kind; the paths keep its case.
    for (const std::string& folder : {root() + "/Sub/", root() + "/Sub\\", root() + "/Sub"}) {
        g_reported.clear();
        EXPECT_EQ(SearchFiles(folder.c_str(), "WAV,MP3,WMA,", recordFile, 1), 1);
        ASSERT_EQ(g_reported.size(), 1u) << folder;
        EXPECT_EQ(g_reported[0].path, root() + "/Sub/deep.wma");
        EXPECT_EQ(g_reported[0].folder, root() + "/Sub/");
        EXPECT_EQ(g_reported[0].name, "deep.wma");
    }
}

TEST_F(SearchFilesTest, StopRequestEndsOnlyItsOwnFolder)
{
    for (const char* file : {"Sub/a.wav", "Sub/b.wav", "Other/c.wav", "Other/d.wav"})
        add(file);
    fs::remove_all(m_folder.path() / "Sub/Inner");
    g_stopInFolder = root() + "/Sub/";
    SearchFiles(root().c_str(), "*.*", recordFile, 0);
    const std::map<std::string, int> found = reportedByRelativePath();
    const auto inSub = std::count_if(found.begin(), found.end(), [](const auto& file) { return file.first.rfind("Sub/", 0) == 0; });
    EXPECT_EQ(inSub, 1);
    for (const char* file : {"take.Wav", "notes.txt", "song.mp3", "ab", "Other/c.wav", "Other/d.wav"})
        EXPECT_TRUE(found.count(file)) << file;
}

TEST_F(SearchFilesTest, SymbolicLinkLoopEndsAndLinkedFolderIsSearchedOnce)
{
    fs::create_directory_symlink(m_folder.path(), m_folder.path() / "Sub/loop");
    TemporaryFolder elsewhere;
    writeFile(elsewhere.path() / "linked.wav", "data");
    fs::create_directory_symlink(elsewhere.path(), m_folder.path() / "Linked");
    EXPECT_EQ(SearchFiles(root().c_str(), "WAV,", recordFile, 0), 1);
    const std::map<std::string, int> found = reportedByRelativePath();
    EXPECT_EQ(found.size(), 7u);
    EXPECT_EQ(found.at("Linked/linked.wav"), 1);
}

TEST_F(SearchFilesTest, PipesAndDevicesAreNotReported)
{
    ASSERT_EQ(mkfifo((root() + "/stream.wav").c_str(), 0600), 0);
    EXPECT_EQ(SearchFiles(root().c_str(), "*.*", recordFile, 1), 1);
    EXPECT_FALSE(reportedByRelativePath().count("stream.wav"));
}

TEST_F(SearchFilesTest, MissingFolderGivesMinusOne)
{
    EXPECT_EQ(SearchFiles((root() + "/missing").c_str(), "*.*", recordFile, 0), -1);
    EXPECT_EQ(SearchFiles(nullptr, "*.*", recordFile, 0), -1);
    EXPECT_TRUE(g_reported.empty());
}

// A folder that cannot be read is left out and the search goes on. The superuser reads every
// folder whatever its permissions, so the search runs in a child process that gives up the
// superuser's rights (to the unprivileged "nobody", 65534) before it starts.
TEST(SearchFilesUnreadable, UnreadableFolderIsSkipped)
{
    char pattern[] = "/tmp/search-unreadable-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path top = pattern;
    fs::create_directories(top / "Locked");
    fs::create_directories(top / "Open");
    writeFile(top / "Locked/hidden.wav", "data");
    writeFile(top / "Open/seen.wav", "data");
    writeFile(top / "top.wav", "data");
    ASSERT_EQ(chmod(top.c_str(), 0755), 0);
    ASSERT_EQ(chmod((top / "Locked").c_str(), 0), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(100);
        g_reported.clear();
        const int result = SearchFiles(top.c_str(), "WAV,", recordFile, 0);
        int seen = 0;
        for (const Reported& file : g_reported) {
            if (file.name == "hidden.wav")
                _exit(101);
            seen += file.name == "seen.wav" || file.name == "top.wav";
        }
        _exit(result == 1 && seen == 2 && g_reported.size() == 2 ? 0 : 102);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod((top / "Locked").c_str(), 0755);
    fs::remove_all(top);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "100: cannot drop rights, 101: locked folder read, 102: wrong files";
}

TEST(MakeFolder, CreatesANewFolderAndRefusesAnExistingOne)
{
    TemporaryFolder folder;
    const std::string path = folder.file("Archive");
    EXPECT_NE(MakeFolder(path.c_str()), 0);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(MakeFolder(path.c_str()), 0);
    EXPECT_EQ(MakeFolder(folder.file("missing/child").c_str()), 0);
    EXPECT_EQ(MakeFolder(nullptr), 0);
}

}
