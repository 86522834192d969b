// The test device's settings, read from the environment variable WAVELARK_AUDIO:
//
//   test[:option;option;...]
//
//   input=silence              input is digital silence (the default)
//   input=sine[,HZ[,DBFS]]     a sine on both channels, default 1000 Hz at -6 dBFS
//   input=ramp                 frame n carries the low 16 bits of n on the left and the high 16
//                              bits on the right, so every lost or repeated frame shows
//   input=ramp,SECONDS         the ramp, but quiet for its first SECONDS: until then frame n
//                              carries bits 0-5 of n on the left and bits 6-11 on the right
//                              (at most -54 dBFS), so a take that starts on sound shows which
//                              frames came before the sound
//   input=wav,PATH             a 16-bit stereo PCM WAV file at the stream's rate, then silence
//   pace=realtime              frames move at the sample rate (the default)
//   pace=fast                  input is recorded as fast as the worker takes it, output is
//                              played as fast as it is written
//   output=PATH                every frame played is written to the WAV file PATH
//   output=discard             played frames are dropped (the default)
//   inputs=N, outputs=N        the number of devices offered (default 1 each; 0 = none)
//   inputnames=A|B|...         the input devices' names, in id order; also sets their number
//   outputnames=A|B|...        (unnamed devices are "Test Input 1", "Test Output 2"...)
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wavelark::audio {

enum class TestInput { Silence, Sine, Ramp, WavFile };
enum class TestPace { RealTime, Fast };

struct TestSettings {
    TestInput input = TestInput::Silence;
    double sineFrequency = 1000.0;
    double sineLevelDecibels = -6.0;
    double rampOnsetSeconds = 0.0;  // the ramp's quiet start
    std::string inputFile;
    TestPace pace = TestPace::RealTime;
    std::string outputFile; // empty: played frames are dropped
    int inputDevices = 1;
    int outputDevices = 1;
    std::vector<std::string> inputNames;  // empty: the devices' default names
    std::vector<std::string> outputNames;
};

// Parses the variable's value ("test" or "test:..."); on a malformed value returns nothing and
// says what is wrong in error.
std::optional<TestSettings> parseTestSettings(std::string_view value, std::string& error);

}
