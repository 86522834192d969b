#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <string>

namespace {

// Each family lists the exports it has built; the lists grow as the toolkit does.
const char* const kExports[] = {
#include "exports_helpers.inc"
#include "exports_audiofiles.inc"
#include "exports_player.inc"
#include "exports_mp3.inc"
#include "exports_media.inc"
#include "exports_dsp.inc"
#include "exports_polyphase.inc"
#include "exports_cdaudio.inc"
};

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};

std::set<std::string> namesInExportList()
{
    std::ifstream in(SORVAK_EXPORT_LIST);
    std::set<std::string> names;
    std::regex entry(R"(^\s+([A-Za-z_][A-Za-z0-9_]*);)");
    for (std::string line; std::getline(in, line);) {
        std::smatch match;
        if (std::regex_search(line, match, entry))
            names.insert(match[1]);
    }
    return names;
}

std::set<std::string> definedDynamicSymbols()
{
    std::set<std::string> names;
    std::string command = std::string("nm -D --defined-only '") + SORVAK_LIBRARY_PATH + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return names;
    char line[512];
    while (fgets(line, sizeof line, pipe.get())) {
        char type = 0;
        char name[400] = {};
        unsigned long long address = 0;
        if (sscanf(line, "%llx %c %399s", &address, &type, name) == 3 && (type == 'T' || type == 'D' || type == 'B'))
            names.insert(name);
    }
    return names;
}

}

TEST(ToolkitAbi, EveryBuiltExportResolvesByName)
{
    // RTLD_NODELETE: PortAudio and FFmpeg, which the toolkit loads with it, keep allocations from
    // their own start-up that are lost when they are unmapped; the leak checker would report them.
    std::unique_ptr<void, LibraryCloser> library(dlopen(SORVAK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name : kExports)
        EXPECT_NE(dlsym(library.get(), name), nullptr) << name << " is not exported";
}

TEST(ToolkitAbi, EveryBuiltExportIsInTheExportList)
{
    std::set<std::string> listed = namesInExportList();
    ASSERT_FALSE(listed.empty());
    for (const char* name : kExports)
        EXPECT_TRUE(listed.count(name)) << name;
}

TEST(ToolkitAbi, OnlyTheToolkitsNamesAreExported)
{
    std::set<std::string> listed = namesInExportList();
    std::set<std::string> exported = definedDynamicSymbols();
    ASSERT_FALSE(exported.empty()) << "nm found no symbols in " << SORVAK_LIBRARY_PATH;
    for (const std::string& name : exported)
        EXPECT_TRUE(listed.count(name)) << name << " is exported but is not a toolkit name";
}
