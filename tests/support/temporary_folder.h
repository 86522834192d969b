// A folder under the test process's temporary home, removed with everything in it when the
// object goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wavelark::testing {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The path of a file inside the folder, as text for the toolkit's C interface.
    std::string file(std::string_view name) const;

private:
    std::filesystem::path m_path;
};

// Writes bytes to a file, replacing it.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

}
