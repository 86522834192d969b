// Tools for the codec tests: sine sources, the independent command-line tools (ffmpeg, ffprobe,
// sox, lame) that write files for us to read and read the files we write, and measurements of
// a decoded tone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wavelark::testing {

// Interleaved 16-bit samples of a sine in every channel, as little-endian bytes.
std::string sineSamples(int sampleRate, int channels, double seconds, double frequency, double amplitude);

// A canonical WAV file (44-byte header) holding sineSamples(...).
std::string sineWav(int sampleRate, int channels, double seconds, double frequency, double amplitude);

// Runs a shell command; its standard output, and whether it exited with status 0.
struct CommandResult {
    bool succeeded = false;
    std::string output;
};
CommandResult runCommand(const std::string& command);

// What a command writes to its standard error ("" when nothing), its standard output dropped.
std::string errorOutput(const std::string& command);

// Quotes a path for the shell.
std::string shellQuoted(const std::string& path);

// A command line with the words IN and OUT of `pattern` replaced by the quoted paths, in one pass
// over the pattern: a path that itself holds "IN" or "OUT" (a temporary folder's random name can)
// is never replaced again.
std::string commandWithPaths(const std::string& pattern, const std::string& input, const std::string& output);

// One entry of ffprobe's report on the first audio stream ("codec_name", "sample_rate",
// "channels", "bit_rate") or, for section "format", on the file ("format_name", "duration").
std::string probeEntry(const std::string& path, const std::string& section, const std::string& entry);

// The file decoded by ffmpeg to 44100 Hz, 16-bit, in the given channels (empty when ffmpeg
// fails).
std::vector<int16_t> decodeWithFfmpeg(const std::string& path, int channels = 2);

// The 16-bit samples of a canonical WAV file's data (the bytes after the 44-byte header).
std::vector<int16_t> wavSamples(const std::string& fileBytes);
std::vector<int16_t> samplesOf(const std::string& bytes);

// The frequency of a tone in one channel of interleaved samples, from its rising zero
// crossings, measured between the first and the last crossing after skipping `skipFrames`.
double toneFrequency(const std::vector<int16_t>& samples, int channels, int channel, int sampleRate,
                     std::size_t skipFrames = 2048);

// Root mean square of one channel (as a fraction of full scale), skipping frames at both ends.
double rmsLevel(const std::vector<int16_t>& samples, int channels, int channel, std::size_t skipFrames = 2048);

// A converter's progress function for the tests: records every value it is given and cancels
// (returns 1) from the call numbered cancelAtCall on (never when 0).
struct ProgressRecorder {
    static std::vector<int> values;
    static int cancelAtCall;
    static void reset(int cancelAt = 0);
    static int record(int percent);
};

// Runs calls on a thread of its own so that a call waiting for ever on the named pipe at
// pipePath fails the test instead of hanging it: after a minute the failure is recorded and the
// pipe is opened from both sides, again and again, until the calls have returned (anything else
// that never returns is left to the test's time limit).
void runWithoutHanging(const std::function<void()>& calls, const std::string& pipePath);

// Little-endian 32-bit value at an offset of a byte string.
uint32_t littleEndianAt(const std::string& bytes, std::size_t offset);

}
