// The main of every test binary. Tests run headless and isolated: the process gets a temporary
// home that holds the program's data folder and the XDG folders, Qt draws offscreen, and the
// audio layer uses the test device unless a test chooses otherwise.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void setDefault(const char* name, const std::string& value)
{
    setenv(name, value.c_str(), 0);
}

}

int main(int argc, char** argv)
{
    std::string root = (std::filesystem::temp_directory_path() / "wavelark-test-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        perror("mkdtemp");
        return 2;
    }
    for (const char* folder : {"home", "data", "config", "cache", "runtime", "files"})
        std::filesystem::create_directories(root + "/" + folder);
    std::filesystem::permissions(root + "/runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);

    setenv("WAVELARK_TEST_ROOT", (root + "/files").c_str(), 1);
    setenv("WAVELARK_HOME", (root + "/home").c_str(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    setDefault("XDG_RUNTIME_DIR", root + "/runtime");
    setDefault("QT_QPA_PLATFORM", "offscreen");
    setDefault("WAVELARK_AUDIO", "test");

    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();

    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return result;
}
