// The recursive file search and folder creation.
//
// SearchFiles reports every regular file of a folder (and, unless told not to, of its subfolders)
// to the caller's function with a flag saying whether its extension is in the caller's list.
// Folders are entered once per search: each is recognised by its device and inode, so a symbolic
// link that leads back up the tree cannot make the search run forever. A folder that cannot be
// read is left out; the search goes on with the next entry.

#include "sorvak.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <utility>

namespace {

using FolderIdentity = std::pair<dev_t, ino_t>;

struct Search {
    const char* extensions;
    SorvakSearchFunction function;
    bool noDescent;
    std::set<FolderIdentity> visitedFolders;
};

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

char upper(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// A name matches when its last three characters, upper-cased, equal one of the three-letter
// groups of the list, read every four characters ("WAV,MP3,WMA,"), or when the list is "*.*".
bool matchesExtensions(const std::string& name, const char* extensions)
{
    if (std::strcmp(extensions, "*.*") == 0)
        return true;
    if (name.size() < 3)
        return false;
    const char* last = name.c_str() + name.size() - 3;
    const std::size_t listLength = std::strlen(extensions);
    for (std::size_t group = 0; group + 3 <= listLength; group += 4) {
        if (upper(last[0]) == upper(extensions[group]) && upper(last[1]) == upper(extensions[group + 1])
            && upper(last[2]) == upper(extensions[group + 2]))
            return true;
    }
    return false;
}

// Searches one folder; folderPart is the folder followed by '/'. Returns -1 when it cannot be
// read, 1 otherwise.
int searchFolder(Search& search, const std::string& folderPart)
{
    DIR* folder = opendir(folderPart.c_str());
    if (!folder)
        return -1;
    struct stat folderStatus {};
    if (fstat(dirfd(folder), &folderStatus) != 0
        || !search.visitedFolders.insert({folderStatus.st_dev, folderStatus.st_ino}).second) {
        closedir(folder);
        return -1;
    }
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folderPart + name;
        struct stat status {};
        // stat follows links, so a link to a folder or file counts as what it leads to; the
        // visited set stops links that lead back into the tree.
        if (stat(path.c_str(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode)) {
            if (!search.noDescent)
                searchFolder(search, path + "/");
            continue;
        }
        // Devices, pipes and sockets are not files a caller could read as audio: opening a
        // pipe would block.
        if (!S_ISREG(status.st_mode))
            continue;
        const int match = matchesExtensions(name, search.extensions) ? 1 : 0;
        if (search.function && search.function(path.c_str(), folderPart.c_str(), name.c_str(), match) != 0)
            break;
    }
    return closedir(folder) == 0 ? 1 : -1;
}

}

int SearchFiles(const char* folder, const char* extensions, SorvakSearchFunction function, int noDescent)
{
    if (!folder || !extensions)
        return -1;
    std::string folderPart = folder;
    if (!folderPart.empty() && isSeparator(folderPart.back()))
        folderPart.pop_back();
    // The folder keeps its case: on Linux another case names another folder.
    folderPart += '/';
    Search search {extensions, function, noDescent != 0, {}};
    return searchFolder(search, folderPart);
}

int MakeFolder(const char* path)
{
    if (!path || !*path)
        return 0;
    // Non-zero when the folder was made; 0 when it exists already or cannot be made.
    return mkdir(path, 0777) == 0 ? 1 : 0;
}
