// What ALSA and JACK print is held back, per thread, and reaches the standard error only when
// written out; outside a hold, and from other threads, the libraries print as ever.

#include "platform/audio/audio_test_support.h"
#include "sound_library_messages.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <string>
#include <thread>

using namespace wavelark::audio;
using wavelark::testing::StandardErrorCapture;
using wavelark::testing::TemporaryFolder;

namespace {

constexpr char kMissingDevice[] = "wavelark_no_such_device";

// ALSA reports an unknown device name through its error handler.
void emitAlsaMessage()
{
    snd_pcm_t* pcm = nullptr;
    ASSERT_LT(snd_pcm_open(&pcm, kMissingDevice, SND_PCM_STREAM_PLAYBACK, 0), 0);
}

// Calls JACK's current error function, as JACK does when it reports an error.
void emitJackMessage(const char* message)
{
    void* jack = dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(jack, nullptr) << "PortAudio brought no JACK library";
    auto* callback = static_cast<void (**)(const char*)>(dlsym(jack, "jack_error_callback"));
    ASSERT_NE(callback, nullptr);
    (*callback)(message);
    dlclose(jack);
}

}

TEST(HeldSoundLibraryMessages, ReachTheStandardErrorOnlyWhenWrittenOutAndTheDefaultsComeBack)
{
    TemporaryFolder folder;
    StandardErrorCapture capture(folder.file("stderr"));
    std::string held;
    {
        HeldSoundLibraryMessages messages;
        emitAlsaMessage();
        emitJackMessage("held JACK message");
        held = messages.text();
        EXPECT_EQ(capture.text(), "");
        messages.writeToStandardError();
    }
    EXPECT_NE(held.find(std::string("ALSA lib ")), std::string::npos) << held;
    EXPECT_NE(held.find(std::string("Unknown PCM ") + kMissingDevice + "\n"), std::string::npos) << held;
    EXPECT_NE(held.find("held JACK message\n"), std::string::npos) << held;
    EXPECT_EQ(capture.text(), held);

    // The hold is over: the libraries print for themselves again.
    emitAlsaMessage();
    emitJackMessage("printed JACK message");
    std::string after = capture.text().substr(held.size());
    EXPECT_NE(after.find(std::string("Unknown PCM ") + kMissingDevice), std::string::npos) << after;
    EXPECT_NE(after.find("printed JACK message\n"), std::string::npos) << after;
}

TEST(HeldSoundLibraryMessages, OtherThreadsMessagesAreNotHeld)
{
    TemporaryFolder folder;
    StandardErrorCapture capture(folder.file("stderr"));
    HeldSoundLibraryMessages messages;
    std::thread other([] {
        emitAlsaMessage();
        emitJackMessage("another thread's JACK message");
    });
    other.join();
    EXPECT_EQ(messages.text(), "");
    std::string printed = capture.text();
    EXPECT_NE(printed.find(std::string("Unknown PCM ") + kMissingDevice), std::string::npos) << printed;
    EXPECT_NE(printed.find("another thread's JACK message\n"), std::string::npos) << printed;
}
