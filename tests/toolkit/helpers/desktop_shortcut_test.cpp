// CreateDesktopShortcut writes a freedesktop launcher into the user's applications folder.

#include "sorvak.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace {

using wavelark::testing::readFile;
namespace fs = std::filesystem;

fs::path applicationsFolder()
{
    return fs::path(std::getenv("XDG_DATA_HOME")) / "applications";
}

// The keys of the [Desktop Entry] group; fails the test on a line that is not a valid entry.
std::map<std::string, std::string> desktopEntry(const std::string& text)
{
    std::map<std::string, std::string> keys;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "[Desktop Entry]");
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        EXPECT_NE(equals, std::string::npos) << line;
        if (equals == std::string::npos)
            continue;
        EXPECT_FALSE(keys.count(line.substr(0, equals))) << "duplicate key " << line;
        keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

TEST(CreateDesktopShortcut, WritesALauncherForTheProgram)
{
    ASSERT_EQ(CreateDesktopShortcut(nullptr, "Wavelark", "/opt/sound tools/wavelark"), 0);
    const fs::path file = applicationsFolder() / "Wavelark.desktop";
    const auto keys = desktopEntry(readFile(file));
    EXPECT_EQ(keys.at("Type"), "Application");
    EXPECT_EQ(keys.at("Name"), "Wavelark");
    EXPECT_EQ(keys.at("Exec"), "\"/opt/sound tools/wavelark\"");
    EXPECT_FALSE(keys.at("Comment").empty());
    EXPECT_FALSE(fs::exists(file.string() + ".new"));
}

TEST(CreateDesktopShortcut, QuotesCharactersSpecialToTheExecKey)
{
    ASSERT_EQ(CreateDesktopShortcut(nullptr, "Odd", "/opt/100% $take/\"wave\"lark"), 0);
    const auto keys = desktopEntry(readFile(applicationsFolder() / "Odd.desktop"));
    // Inside quotes '"' and '$' take a backslash, which the string escaping doubles; '%' doubles.
    EXPECT_EQ(keys.at("Exec"), R"("/opt/100%% \\$take/\\"wave\\"lark")");
}

TEST(CreateDesktopShortcut, ReplacesAnEarlierLauncher)
{
    ASSERT_EQ(CreateDesktopShortcut(nullptr, "Again", "/first/wavelark"), 0);
    ASSERT_EQ(CreateDesktopShortcut(nullptr, "Again", "/second/wavelark"), 0);
    EXPECT_EQ(desktopEntry(readFile(applicationsFolder() / "Again.desktop")).at("Exec"), "\"/second/wavelark\"");
}

TEST(CreateDesktopShortcut, DefaultsToTheHomeDataFolder)
{
    wavelark::testing::TemporaryFolder home;
    const std::string dataHome = std::getenv("XDG_DATA_HOME");
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", home.path().c_str(), 1);
    const int result = CreateDesktopShortcut(nullptr, "Wavelark", "/usr/bin/wavelark");
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    setenv("HOME", oldHome.c_str(), 1);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(fs::exists(home.path() / ".local/share/applications/Wavelark.desktop"));
}

TEST(CreateDesktopShortcut, RefusesNamesThatAreNotFileNames)
{
    for (const char* name : {"", "a/b", "..", "."})
        EXPECT_NE(CreateDesktopShortcut(nullptr, name, "/usr/bin/wavelark"), 0) << name;
    EXPECT_NE(CreateDesktopShortcut(nullptr, "Wavelark", ""), 0);
    EXPECT_NE(CreateDesktopShortcut(nullptr, nullptr, "/usr/bin/wavelark"), 0);
    EXPECT_FALSE(fs::exists(applicationsFolder() / "a"));
}

}
