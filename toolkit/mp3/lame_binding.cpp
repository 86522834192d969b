#include "mp3/lame_binding.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace sorvak {

namespace {

// Plain, constant-initialised state: the binding is made from the library's load hook, which
// may run before the dynamic initialisers of other files.
void* g_library = nullptr;
LameFunctions g_functions;
char g_error[512] = "";

// Resolves one entry point into its typed slot; a missing one is recorded by name.
template <typename Function>
bool resolve(void* library, const char* name, Function& slot, const char* libraryName)
{
    void* address = dlsym(library, name);
    if (!address) {
        std::snprintf(g_error, sizeof g_error, "%s: entry point %s is missing", libraryName, name);
        return false;
    }
    slot = reinterpret_cast<Function>(address);
    return true;
}

bool resolveAll(void* library, const char* libraryName, LameFunctions& functions)
{
    return resolve(library, "lame_init", functions.init, libraryName)
        && resolve(library, "lame_set_num_channels", functions.setNumChannels, libraryName)
        && resolve(library, "lame_set_in_samplerate", functions.setInSampleRate, libraryName)
        && resolve(library, "lame_set_out_samplerate", functions.setOutSampleRate, libraryName)
        && resolve(library, "lame_set_brate", functions.setBitRate, libraryName)
        && resolve(library, "lame_set_mode", functions.setMode, libraryName)
        && resolve(library, "lame_set_VBR", functions.setVbr, libraryName)
        && resolve(library, "lame_set_original", functions.setOriginal, libraryName)
        && resolve(library, "lame_set_disable_reservoir", functions.setDisableReservoir, libraryName)
        && resolve(library, "lame_set_bWriteVbrTag", functions.setWriteInfoTag, libraryName)
        && resolve(library, "lame_init_params", functions.initParams, libraryName)
        && resolve(library, "lame_get_framesize", functions.getFrameSize, libraryName)
        && resolve(library, "lame_encode_buffer_interleaved", functions.encodeInterleaved, libraryName)
        && resolve(library, "lame_encode_flush", functions.encodeFlush, libraryName)
        && resolve(library, "lame_get_lametag_frame", functions.getInfoTagFrame, libraryName)
        && resolve(library, "lame_close", functions.close, libraryName)
        && resolve(library, "id3tag_init", functions.id3TagInit, libraryName)
        && resolve(library, "id3tag_v2_only", functions.id3TagVersion2Only, libraryName)
        && resolve(library, "id3tag_set_textinfo_utf16", functions.id3TagSetText, libraryName)
        && resolve(library, "lame_set_write_id3tag_automatic", functions.setWriteId3TagAutomatic, libraryName)
        && resolve(library, "lame_get_id3v2_tag", functions.getId3Version2Tag, libraryName);
}

// The copy beside the toolkit shares the process with the system's copy that FFmpeg's libavcodec
// brings in. Bound deep, its calls between its own functions stay inside it instead of reaching
// the other copy's code and data. The sanitizers' runtimes cannot work with deep binding (the
// library's allocations would bypass them), so their builds bind as usual.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kOwnCopyBinding = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr int kOwnCopyBinding = 0;
#else
constexpr int kOwnCopyBinding = RTLD_DEEPBIND;
#endif
#else
constexpr int kOwnCopyBinding = RTLD_DEEPBIND;
#endif

// The path of a file of that name in the toolkit's own folder, or empty when there is none.
std::string besideToolkit(const char* name)
{
    Dl_info info {};
    if (!dladdr(reinterpret_cast<void*>(&bindLameLibrary), &info) || !info.dli_fname)
        return {};
    const char* slash = std::strrchr(info.dli_fname, '/');
    if (!slash)
        return {};
    const std::string path = std::string(info.dli_fname, slash + 1) + name;
    return access(path.c_str(), R_OK) == 0 ? path : std::string();
}

}

bool bindLameLibrary(const char* libraryName)
{
    releaseLameLibrary();
    if (!libraryName) {
        std::snprintf(g_error, sizeof g_error, "no encoder library named");
        return false;
    }
    // A bare name is taken from beside the toolkit first (where setup installs it), by its full
    // path: by name alone, the loader would hand back the system's copy that FFmpeg's libavcodec
    // has already brought into the process.
    if (!std::strchr(libraryName, '/')) {
        const std::string beside = besideToolkit(libraryName);
        if (!beside.empty() && bindLameLibrary(beside.c_str()))
            return true;
    }
    void* library = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL | kOwnCopyBinding);
    if (!library) {
        const char* reason = dlerror();
        std::snprintf(g_error, sizeof g_error, "%s: cannot be loaded (%s)", libraryName, reason ? reason : "unknown reason");
        return false;
    }
    LameFunctions functions;
    if (!resolveAll(library, libraryName, functions)) {
        dlclose(library);
        return false;
    }
    g_library = library;
    g_functions = functions;
    g_error[0] = 0;
    return true;
}

void releaseLameLibrary()
{
    if (g_library)
        dlclose(g_library);
    g_library = nullptr;
    g_functions = LameFunctions {};
}

const LameFunctions* lameFunctions()
{
    return g_library ? &g_functions : nullptr;
}

const char* lameBindingError()
{
    return g_error;
}

}
