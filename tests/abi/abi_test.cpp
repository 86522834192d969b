// The toolkit's binary interface against its public header: every function sorvak.h declares is
// defined and exported by the built libsorvak.so, the export list names exactly those functions,
// and the library exports nothing else. The names are read from the header itself, so a
// declaration without a definition cannot slip through.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};

std::string fileText(const char* path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The names of the functions the header declares: every declaration starts a line with
// SORVAK_API and names its function just before the opening parenthesis.
std::set<std::string> namesDeclaredInHeader(std::size_t& declarations)
{
    std::string header = fileText(SORVAK_PUBLIC_HEADER);
    std::regex start(R"(^SORVAK_API\b)", std::regex::multiline);
    declarations = static_cast<std::size_t>(
        std::distance(std::sregex_iterator(header.begin(), header.end(), start), std::sregex_iterator()));
    std::regex declaration(R"(^SORVAK_API\s[^(;]*?\b([A-Za-z_][A-Za-z0-9_]*)\s*\()", std::regex::multiline);
    std::set<std::string> names;
    for (auto match = std::sregex_iterator(header.begin(), header.end(), declaration); match != std::sregex_iterator();
         ++match)
        names.insert((*match)[1]);
    return names;
}

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

// What the library itself defines in its dynamic symbol table (not what it takes from the
// libraries it depends on).
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

class ToolkitAbi : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::size_t declarations = 0;
        declared = namesDeclaredInHeader(declarations);
        ASSERT_FALSE(declared.empty()) << "no declarations read from " << SORVAK_PUBLIC_HEADER;
        // A declaration written so that its name is not found would escape every check below.
        ASSERT_EQ(declared.size(), declarations) << "a SORVAK_API declaration whose name was not read";
    }

    std::set<std::string> declared;
};

}

TEST_F(ToolkitAbi, EveryDeclaredFunctionIsDefinedByTheLibraryAndResolvesByName)
{
    std::set<std::string> defined = definedDynamicSymbols();
    ASSERT_FALSE(defined.empty()) << "nm found no symbols in " << SORVAK_LIBRARY_PATH;
    // RTLD_NODELETE: PortAudio and FFmpeg, which the toolkit loads with it, keep allocations from
    // their own start-up that are lost when they are unmapped; the leak checker would report them.
    std::unique_ptr<void, LibraryCloser> library(dlopen(SORVAK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    ASSERT_NE(library, nullptr) << dlerror();
    for (const std::string& name : declared) {
        EXPECT_TRUE(defined.count(name)) << name << " is declared but the library does not define it";
        EXPECT_NE(dlsym(library.get(), name.c_str()), nullptr) << name << " does not resolve";
    }
}

TEST_F(ToolkitAbi, TheExportListNamesExactlyTheDeclaredFunctions)
{
    std::set<std::string> listed = namesInExportList();
    ASSERT_FALSE(listed.empty());
    for (const std::string& name : declared)
        EXPECT_TRUE(listed.count(name)) << name << " is declared but not in the export list";
    for (const std::string& name : listed)
        EXPECT_TRUE(declared.count(name)) << name << " is in the export list but not declared";
}

TEST_F(ToolkitAbi, OnlyTheDeclaredFunctionsAreExported)
{
    std::set<std::string> exported = definedDynamicSymbols();
    ASSERT_FALSE(exported.empty()) << "nm found no symbols in " << SORVAK_LIBRARY_PATH;
    for (const std::string& name : exported)
        EXPECT_TRUE(declared.count(name)) << name << " is exported but is not a toolkit name";
}
