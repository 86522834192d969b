#include "sound_library_messages.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

// alsa-lib's error.h (1.2.8) declares the per-thread handler functions after its extern "C"
// block has closed; inside one of ours they keep the C names the library exports.
extern "C" {
#include <alsa/error.h>
}

namespace wavelark::audio {

namespace {

// The text of this thread's innermost hold, or null.
thread_local std::string* t_heldText = nullptr;

// JACK's message functions, resolved from the JACK library PortAudio loaded (never loaded here).
using JackMessageFunction = void (*)(const char* message);
using SetJackMessageFunction = void (*)(JackMessageFunction function);

struct JackMessageSetters {
    SetJackMessageFunction setError = nullptr;
    SetJackMessageFunction setInformation = nullptr;
};

const JackMessageSetters& jackMessageSetters()
{
    static const JackMessageSetters setters = [] {
        JackMessageSetters found;
        // Kept open for the life of the process: the library stays loaded with PortAudio anyway.
        if (void* jack = dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD)) {
            found.setError = reinterpret_cast<SetJackMessageFunction>(dlsym(jack, "jack_set_error_function"));
            found.setInformation = reinterpret_cast<SetJackMessageFunction>(dlsym(jack, "jack_set_info_function"));
        }
        return found;
    }();
    return setters;
}

std::mutex g_jackHoldMutex;
int g_jackHolds = 0;

void setJackMessageFunction(JackMessageFunction function)
{
    const JackMessageSetters& setters = jackMessageSetters();
    if (setters.setError && setters.setInformation) {
        setters.setError(function);
        setters.setInformation(function);
    }
}

// A message goes to this thread's innermost hold, or to the standard error when there is none
// (as from another thread while this one holds).
void holdOrPrint(const std::string& line)
{
    if (t_heldText)
        *t_heldText += line;
    else
        std::fputs(line.c_str(), stderr);
}

// ALSA's per-thread handler; words a message as ALSA's default handler prints it.
void holdAlsaMessage(const char* file, int line, const char* function, int error, const char* format, va_list arguments)
{
    char message[1024];
    std::vsnprintf(message, sizeof message, format, arguments);
    std::string text = std::string("ALSA lib ") + file + ":" + std::to_string(line) + ":(" + function + ") " + message;
    if (error)
        text += std::string(": ") + snd_strerror(error);
    holdOrPrint(text + "\n");
}

// JACK's error and information function while any thread holds, printing as JACK's own does.
void holdJackMessage(const char* message)
{
    holdOrPrint(std::string(message) + "\n");
}

}

HeldSoundLibraryMessages::HeldSoundLibraryMessages()
    : m_outerText(t_heldText)
    , m_outerAlsaHandler(reinterpret_cast<OpaqueFunction>(snd_lib_error_set_local(holdAlsaMessage)))
{
    t_heldText = &m_text;
    std::lock_guard lock(g_jackHoldMutex);
    if (g_jackHolds++ == 0)
        setJackMessageFunction(holdJackMessage);
}

HeldSoundLibraryMessages::~HeldSoundLibraryMessages()
{
    {
        std::lock_guard lock(g_jackHoldMutex);
        // A null function gives JACK its own default back, as its header documents.
        if (--g_jackHolds == 0)
            setJackMessageFunction(nullptr);
    }
    snd_lib_error_set_local(reinterpret_cast<snd_local_error_handler_t>(m_outerAlsaHandler));
    t_heldText = m_outerText;
}

void HeldSoundLibraryMessages::writeToStandardError()
{
    std::fputs(m_text.c_str(), stderr);
    m_text.clear();
}

}
