// Loading the toolkit and filling the binding table.

#include "core/toolkit_binding.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace wavelark {

ToolkitBinding g_toolkit;
ToolkitExtras g_toolkitExtras;

const std::array<std::string_view, kToolkitEntryCount> kToolkitEntryNames = {
#define WAVELARK_TOOLKIT_NAME(name) #name,
    WAVELARK_TOOLKIT_ENTRIES(WAVELARK_TOOLKIT_NAME)
#undef WAVELARK_TOOLKIT_NAME
};

const std::array<std::string_view, 29> kToolkitCalledEntries = {
    "GetOpenFilenames", "CreateDesktopShortcut", "dw2sz", "fp2sz", "lzdw2sz", "CreateWaveOut",
    "strcatmany", "WAV2MP3", "WAV2WMA", "WMA2WAV", "BrowseForFolder", "wmGetText",
    "AddComboStrings", "EnableWindows10", "nanosec2time", "percent", "SetFonts10", "FileSize",
    "rights", "cuts", "OpenWAV", "CloseWAV", "ResampleWAV", "lin2log", "CreateWAVHeader",
    "SearchFiles", "MakeFolder", "GetWMADuration", "GetWMAInfo",
};

namespace {

// The storage of each slot, in table order. Every slot is a plain function pointer, which on
// this platform has the size and representation of a data pointer, as dlsym relies on.
std::array<void*, kToolkitEntryCount> slotAddresses()
{
    return {
#define WAVELARK_TOOLKIT_ADDRESS(name) static_cast<void*>(&g_toolkit.name),
        WAVELARK_TOOLKIT_ENTRIES(WAVELARK_TOOLKIT_ADDRESS)
#undef WAVELARK_TOOLKIT_ADDRESS
    };
}

static_assert(sizeof(ToolkitBinding) == sizeof(void*) * (1 + kToolkitEntryCount),
              "every slot of the table is one pointer, in order");

}

ToolkitBindResult bindToolkit(const char* libraryName)
{
    ToolkitBindResult result;
    releaseToolkit();
    // RTLD_NOW: a library with unresolved dependencies fails here, not at its first call.
    void* module = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* error = dlerror();
        result.loadError = QString::fromLocal8Bit(error ? error : "unknown error");
        return result;
    }
    result.loaded = true;
    g_toolkit.module = module;

    const std::array<void*, kToolkitEntryCount> storage = slotAddresses();
    for (std::size_t index = 0; index < kToolkitEntryCount; ++index) {
        const std::string name(kToolkitEntryNames[index]);
        void* address = dlsym(module, name.c_str());
        std::memcpy(storage[index], &address, sizeof address);
        const bool called = std::find(kToolkitCalledEntries.begin(), kToolkitCalledEntries.end(),
                                      kToolkitEntryNames[index]) != kToolkitCalledEntries.end();
        if (!address && called)
            result.missingEntries << QString::fromLatin1(name.c_str());
    }
    if (!result.missingEntries.isEmpty()) {
        releaseToolkit();
        return result;
    }
#define WAVELARK_TOOLKIT_EXTRA(name) \
    g_toolkitExtras.name = reinterpret_cast<decltype(&::name)>(dlsym(module, #name));
    WAVELARK_TOOLKIT_EXTRAS(WAVELARK_TOOLKIT_EXTRA)
#undef WAVELARK_TOOLKIT_EXTRA
    return result;
}

void releaseToolkit()
{
    void* module = g_toolkit.module;
    g_toolkit = ToolkitBinding{};
    g_toolkitExtras = ToolkitExtras{};
    if (module)
        dlclose(module);
}

void* toolkitSlot(std::size_t index)
{
    if (index >= kToolkitEntryCount)
        return nullptr;
    void* address = nullptr;
    std::memcpy(&address, slotAddresses()[index], sizeof address);
    return address;
}

}
