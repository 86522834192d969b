// CreateDesktopShortcut: a freedesktop launcher "<name>.desktop" in the user's applications
// folder ($XDG_DATA_HOME/applications, by default ~/.local/share/applications), so the desktop's
// menus and launchers offer the program. Written whole to a temporary file and renamed into
// place, so a launcher is never seen half written.

#include "sorvak.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr char kDescription[] = "Record sound from any source and keep it as MP3, WMA or WAV";

std::filesystem::path applicationsFolder()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/')
        return std::filesystem::path(dataHome) / "applications";
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return {};
    return std::filesystem::path(home) / ".local/share/applications";
}

// A string value of a desktop entry: backslash and line breaks escaped.
std::string entryValue(std::string_view text)
{
    std::string value;
    for (char c : text) {
        switch (c) {
        case '\\': value += "\\\\"; break;
        case '\n': value += "\\n"; break;
        case '\r': value += "\\r"; break;
        case '\t': value += "\\t"; break;
        default: value += c;
        }
    }
    return value;
}

// The Exec key: the program path quoted, with the characters that are special inside quotes
// escaped, '%' doubled (it starts field codes), then escaped once more as a string value.
std::string execValue(std::string_view target)
{
    std::string quoted = "\"";
    for (char c : target) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%';
    }
    quoted += '"';
    return entryValue(quoted);
}

bool validName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

int writeLauncher(const std::filesystem::path& file, const std::string& contents)
{
    const std::filesystem::path temporary = file.string() + ".new";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out)
        return errno ? errno : EIO;
    const bool written = std::fwrite(contents.data(), 1, contents.size(), out) == contents.size();
    const int writeError = errno;
    if (std::fclose(out) != 0 || !written) {
        const int error = written ? errno : writeError;
        std::remove(temporary.c_str());
        return error ? error : EIO;
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        return error ? error : EIO;
    }
    return 0;
}

}

// The launcher has no window of its own to belong to: the owner takes no part.
int CreateDesktopShortcut(void* /*owner*/, const char* name, const char* target)
{
    if (!name || !target || !validName(name) || !*target)
        return EINVAL;
    const std::filesystem::path folder = applicationsFolder();
    if (folder.empty())
        return ENOENT;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return error.value();

    std::string contents = "[Desktop Entry]\n"
                           "Type=Application\n"
                           "Version=1.0\n";
    contents += "Name=" + entryValue(name) + "\n";
    contents += "Comment=" + entryValue(kDescription) + "\n";
    contents += "Exec=" + execValue(target) + "\n";
    contents += "Terminal=false\n"
                "Categories=AudioVideo;Audio;Recorder;\n";
    return writeLauncher(folder / (std::string(name) + ".desktop"), contents);
}
