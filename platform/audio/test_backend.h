// The test device: recorded input comes from a generated signal (test_signal.h) and played output
// goes to a WAV file or nowhere, paced at the sample rate or as fast as the other side moves.
// Its device thread stands in for the sound card and drives the layer's ring exactly as the
// PortAudio callback does.
#pragma once

#include "device_stream.h"
#include "test_settings.h"

#include <memory>

namespace wavelark::audio {

std::unique_ptr<AudioBackend> makeTestBackend(const TestSettings& settings);

}
