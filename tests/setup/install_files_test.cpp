// The installation into temporary folders: exactly the three carried files, byte for byte the
// build's staged payload, with their modes; a second installation replaces them; failures name
// the path and leave no file.

#include "install_files.h"
#include "setup_payload.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string_view>

#include <sys/resource.h>
#include <sys/stat.h>

namespace wavelark::setup {
namespace {

namespace fs = std::filesystem;

std::set<std::string> filesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

unsigned modeOf(const fs::path& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

ino_t inodeOf(const fs::path& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_ino;
}

QString folderText(const fs::path& folder)
{
    return QString::fromStdString(folder.string()) + QLatin1Char('/');
}

const std::set<std::string> kInstalledNames = {"libmp3lame.so.0", "libsorvak.so", "wavelark"};

// Every installed file is the staged payload file of its name, with the program 0755 and the
// libraries 0644.
void expectInstallation(const fs::path& folder)
{
    EXPECT_EQ(filesIn(folder), kInstalledNames);
    for (const std::string& name : kInstalledNames) {
        const std::string staged = testing::readFile(fs::path(SETUP_PAYLOAD_FOLDER) / name);
        ASSERT_GT(staged.size(), 10000u) << name;
        EXPECT_TRUE(testing::readFile(folder / name) == staged) << name << " differs from the build's";
        EXPECT_EQ(modeOf(folder / name), name == "wavelark" ? 0755u : 0644u) << name;
    }
}

TEST(InstallFiles, WritesExactlyTheThreeFilesAsBuiltWithTheirModes)
{
    testing::TemporaryFolder chosen;
    const mode_t oldMask = ::umask(077);
    const auto failure = installFiles(folderText(chosen.path() / "Wavelark"), payloadFiles());
    ::umask(oldMask);
    ASSERT_FALSE(failure) << failure->path.toStdString() << ": " << failure->reason.toStdString();
    EXPECT_EQ(filesIn(chosen.path()), std::set<std::string>{"Wavelark"});
    expectInstallation(chosen.path() / "Wavelark");
    // The encoder library is the system's own file.
    EXPECT_TRUE(testing::readFile(chosen.path() / "Wavelark" / "libmp3lame.so.0")
                == testing::readFile(fs::canonical("/usr/lib/x86_64-linux-gnu/libmp3lame.so.0")));
}

// The files are replaced by renames: the old file (which a running recorder may be executing)
// is never written into, a changed mode is restored, and what else is in the folder stays.
TEST(InstallFiles, InstallingAgainReplacesEveryFileByANewOne)
{
    testing::TemporaryFolder chosen;
    const fs::path folder = chosen.path() / "Wavelark";
    ASSERT_FALSE(installFiles(folderText(folder), payloadFiles()));
    for (const std::string& name : kInstalledNames) {
        testing::writeFile(folder / name, "an older version");
        fs::permissions(folder / name, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    }
    testing::writeFile(folder / "settings.dat", "the user's settings");
    const ino_t oldProgram = inodeOf(folder / "wavelark");
    // An open handle keeps the replaced program's bytes, as a running copy would.
    QFile running(QString::fromStdString((folder / "wavelark").string()));
    ASSERT_TRUE(running.open(QIODevice::ReadOnly));

    ASSERT_FALSE(installFiles(folderText(folder), payloadFiles()));
    EXPECT_NE(inodeOf(folder / "wavelark"), oldProgram);
    EXPECT_EQ(running.readAll(), QByteArray("an older version"));
    EXPECT_EQ(testing::readFile(folder / "settings.dat"), "the user's settings");
    fs::remove(folder / "settings.dat");
    expectInstallation(folder);
}

// A write that fails part-way (here the file size limit; a full disk fails the same way) leaves
// the installation before it whole and no temporary file behind.
TEST(InstallFiles, AWriteThatFailsPartWayLeavesTheOldInstallationWhole)
{
    testing::TemporaryFolder chosen;
    const fs::path folder = chosen.path() / "Wavelark";
    ASSERT_FALSE(installFiles(folderText(folder), payloadFiles()));
    for (const std::string& name : kInstalledNames)
        testing::writeFile(folder / name, "the installation before");

    rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small {64 * 1024, old.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto failure = installFiles(folderText(folder), payloadFiles());
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path.toStdString(), (folder / "wavelark").string());
    EXPECT_EQ(failure->reason.toStdString().find("File too large"), 0u) << failure->reason.toStdString();
    EXPECT_EQ(filesIn(folder), kInstalledNames);
    for (const std::string& name : kInstalledNames)
        EXPECT_EQ(testing::readFile(folder / name), "the installation before") << name;
}

// A rename into place that fails part-way (here the toolkit's, the last, as when the file is
// busy) puts back the files already replaced: the old installation stays whole, with no backup
// or temporary file left; without an old installation nothing is left.
TEST(InstallFiles, ARenameThatFailsPartWayPutsBackTheFilesAlreadyReplaced)
{
    const RenameCall busyToolkit = [](const char* from, const char* to) {
        if (std::string_view(to).ends_with("/libsorvak.so") && std::string_view(from).find(".install-") != std::string_view::npos) {
            errno = EBUSY;
            return -1;
        }
        return ::rename(from, to);
    };
    for (const bool earlierInstallation : {true, false}) {
        SCOPED_TRACE(earlierInstallation ? "over an earlier installation" : "into an empty folder");
        testing::TemporaryFolder chosen;
        const fs::path folder = chosen.path() / "Wavelark";
        fs::create_directory(folder);
        if (earlierInstallation) {
            for (const std::string& name : kInstalledNames)
                testing::writeFile(folder / name, "the installation before: " + name);
        }
        const auto failure = installFiles(folderText(folder), payloadFiles(), busyToolkit);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->path.toStdString(), (folder / "libsorvak.so").string());
        EXPECT_EQ(failure->reason.toStdString(), "Device or resource busy");
        EXPECT_EQ(filesIn(folder), earlierInstallation ? kInstalledNames : std::set<std::string>{});
        for (const std::string& name : earlierInstallation ? kInstalledNames : std::set<std::string>{})
            EXPECT_EQ(testing::readFile(folder / name), "the installation before: " + name);
    }
}

struct FailingInstall {
    const char* name;
    // Prepares the chosen folder and gives the install folder to use.
    fs::path (*prepare)(const fs::path& chosen);
    const char* failedPath;  // relative to the chosen folder
    const char* reason;
};

const FailingInstall kFailingInstalls[] = {
    {"PathIsAFile",
     [](const fs::path& chosen) {
         testing::writeFile(chosen / "file", "x");
         return chosen / "file" / "Wavelark";
     },
     "file/Wavelark/", "Not a directory"},
    {"PathIsMissing", [](const fs::path& chosen) { return chosen / "missing" / "Wavelark"; }, "missing/Wavelark/",
     "No such file or directory"},
    {"WavelarkIsAFile",
     [](const fs::path& chosen) {
         testing::writeFile(chosen / "Wavelark", "x");
         return chosen / "Wavelark";
     },
     "Wavelark/", "a file of that name is in the way"},
    {"ALibraryNameIsAFolder",
     [](const fs::path& chosen) {
         fs::create_directories(chosen / "Wavelark" / "libsorvak.so" / "inside");
         return chosen / "Wavelark";
     },
     "Wavelark/libsorvak.so", "a folder of that name is in the way"},
};

class FailingInstallTest : public ::testing::TestWithParam<FailingInstall> {};

TEST_P(FailingInstallTest, NamesThePathAndReasonAndLeavesNoFile)
{
    testing::TemporaryFolder chosen;
    const fs::path folder = GetParam().prepare(chosen.path());
    const std::set<std::string> before = filesIn(chosen.path());
    const auto failure = installFiles(folderText(folder), payloadFiles());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->path.toStdString(), (chosen.path() / GetParam().failedPath).string());
    EXPECT_EQ(failure->reason.toStdString(), GetParam().reason);
    EXPECT_EQ(filesIn(chosen.path()), before);
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_TRUE(entry.is_directory()) << entry.path() << " was left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FailingInstallTest, ::testing::ValuesIn(kFailingInstalls),
                         [](const auto& info) { return std::string(info.param.name); });

}
}
