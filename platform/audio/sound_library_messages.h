// The messages the sound libraries beneath PortAudio (ALSA and JACK) print on their own. While
// PortAudio starts they try every device and server they know of: on a machine without a sound
// card or a JACK server that is about a hundred lines of errors at every start, none of which
// matters while the sound system works. A HeldSoundLibraryMessages holds them back for as long
// as it lives; its owner writes them out only when the PortAudio call it guarded failed, so the
// user sees them when they may explain something.
//
// Only messages of the thread that holds them are held. ALSA's are taken by its per-thread error
// handler; JACK's error and information functions are process-wide, so they point here while any
// hold lasts and pass other threads' messages on to the standard error as JACK itself prints
// them. The process's standard error is never redirected: nothing another thread writes there is
// held or lost. JACK is only reached when PortAudio has loaded it. PortAudio's own rare notes
// ("Expression '...' failed") still come through: the library does not export the function
// that would redirect them.
//
// A hold belongs to the thread that made it and ends there; holds may nest on a thread and
// overlap across threads. JACK's default functions are given back when the last hold ends.
#pragma once

#include <string>

namespace wavelark::audio {

class HeldSoundLibraryMessages {
public:
    // Starts holding this thread's messages.
    HeldSoundLibraryMessages();
    // Stops holding; what was held and not written out is dropped.
    ~HeldSoundLibraryMessages();
    HeldSoundLibraryMessages(const HeldSoundLibraryMessages&) = delete;
    HeldSoundLibraryMessages& operator=(const HeldSoundLibraryMessages&) = delete;

    // What is held so far, one message a line, as the libraries would have printed it.
    const std::string& text() const { return m_text; }
    // Writes what is held to the standard error and empties the hold.
    void writeToStandardError();

private:
    using OpaqueFunction = void (*)();

    std::string m_text;
    std::string* m_outerText;           // of the hold this one nests in on the same thread
    OpaqueFunction m_outerAlsaHandler;  // ALSA's per-thread handler before this hold
};

}
