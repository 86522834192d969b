// The sound system's devices through PortAudio. Device ids count the input (or output) devices
// of PortAudio's default host API in its order; -1 is that API's default device. PortAudio is
// initialised while something is counted or a stream is open, so the sound system is looked up
// afresh each time. What ALSA and JACK print while PortAudio starts, stops or opens a device is
// shown only when that fails (sound_library_messages.h).
#pragma once

#include "device_stream.h"

#include <memory>

namespace wavelark::audio {

std::unique_ptr<AudioBackend> makePortAudioBackend();

}
