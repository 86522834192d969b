#include "toolkit/audiofiles/media/audio_test_tools.h"

#include "toolkit/audiofiles/wav_builder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

namespace wavelark::testing {

std::string sineSamples(int sampleRate, int channels, double seconds, double frequency, double amplitude)
{
    std::size_t frames = static_cast<std::size_t>(std::llround(seconds * sampleRate));
    std::string bytes;
    bytes.reserve(frames * static_cast<std::size_t>(channels) * 2);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        double value = amplitude * 32767.0 * std::sin(2.0 * M_PI * frequency * static_cast<double>(frame) / sampleRate);
        int16_t sample = static_cast<int16_t>(std::lround(value));
        for (int channel = 0; channel < channels; ++channel)
            bytes += littleEndian16(static_cast<uint16_t>(sample));
    }
    return bytes;
}

std::string sineWav(int sampleRate, int channels, double seconds, double frequency, double amplitude)
{
    return simpleWav(sineSamples(sampleRate, channels, seconds, frequency, amplitude), static_cast<uint32_t>(sampleRate),
                     16, static_cast<uint16_t>(channels));
}

CommandResult runCommand(const std::string& command)
{
    CommandResult result;
    std::string full = command + " 2>/dev/null";
    FILE* pipe = popen(full.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, count);
    result.succeeded = pclose(pipe) == 0;
    return result;
}

std::string errorOutput(const std::string& command)
{
    // The subshell's own redirection comes first, so runCommand's silencing of standard error
    // does not reach the command's.
    return runCommand("(" + command + " 2>&1 >/dev/null)").output;
}

std::string shellQuoted(const std::string& path)
{
    std::string text = "'";
    for (char c : path)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

std::string commandWithPaths(const std::string& pattern, const std::string& input, const std::string& output)
{
    std::string command;
    std::size_t at = 0;
    while (at < pattern.size()) {
        const bool wordStart = at == 0 || pattern[at - 1] == ' ';
        const auto isWord = [&](const std::string& word) {
            const std::size_t end = at + word.size();
            return wordStart && pattern.compare(at, word.size(), word) == 0
                && (end == pattern.size() || pattern[end] == ' ');
        };
        if (isWord("IN")) {
            command += shellQuoted(input);
            at += 2;
        } else if (isWord("OUT")) {
            command += shellQuoted(output);
            at += 3;
        } else {
            command += pattern[at++];
        }
    }
    return command;
}

std::string probeEntry(const std::string& path, const std::string& section, const std::string& entry)
{
    std::string selection = section == "format" ? "" : " -select_streams a:0";
    CommandResult result = runCommand("ffprobe -v error" + selection + " -show_entries " + section + "=" + entry
                                      + " -of default=noprint_wrappers=1:nokey=1 " + shellQuoted(path));
    std::string text = result.output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::vector<int16_t> samplesOf(const std::string& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::vector<int16_t> decodeWithFfmpeg(const std::string& path, int channels)
{
    CommandResult result = runCommand("ffmpeg -v error -i " + shellQuoted(path) + " -f s16le -ar 44100 -ac "
                                      + std::to_string(channels) + " -");
    return result.succeeded ? samplesOf(result.output) : std::vector<int16_t> {};
}

std::vector<int16_t> wavSamples(const std::string& fileBytes)
{
    return fileBytes.size() > 44 ? samplesOf(fileBytes.substr(44)) : std::vector<int16_t> {};
}

double toneFrequency(const std::vector<int16_t>& samples, int channels, int channel, int sampleRate,
                     std::size_t skipFrames)
{
    std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    for (std::size_t frame = skipFrames + 1; frame + skipFrames < frames; ++frame) {
        double before = samples[(frame - 1) * channels + channel];
        double now = samples[frame * channels + channel];
        if (before < 0.0 && now >= 0.0) {
            // The crossing's position between the two frames, for a finer measure.
            double position = static_cast<double>(frame - 1) + (-before) / (now - before);
            if (first < 0.0)
                first = position;
            else
                ++crossings;
            last = position;
        }
    }
    if (crossings == 0)
        return 0.0;
    return crossings * sampleRate / (last - first);
}

double rmsLevel(const std::vector<int16_t>& samples, int channels, int channel, std::size_t skipFrames)
{
    std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t frame = skipFrames; frame + skipFrames < frames; ++frame) {
        double value = samples[frame * channels + channel] / 32768.0;
        sum += value * value;
        ++count;
    }
    return count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

void runWithoutHanging(const std::function<void()>& calls, const std::string& pipePath)
{
    std::promise<void> returned;
    std::future<void> done = returned.get_future();
    std::thread worker([&] {
        calls();
        returned.set_value();
    });
    if (done.wait_for(std::chrono::minutes(1)) != std::future_status::ready) {
        ADD_FAILURE() << "a call was still waiting on " << pipePath << " after a minute";
        // A call waiting to open a pipe returns once the other side opens it too. A writer so
        // released must not die of the pipe closed behind it: the failure above is the report.
        std::signal(SIGPIPE, SIG_IGN);
        while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            for (int mode : {O_RDONLY, O_WRONLY}) {
                int end = open(pipePath.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
                if (end >= 0)
                    close(end);
            }
        }
    }
    worker.join();
}

uint32_t littleEndianAt(const std::string& bytes, std::size_t offset)
{
    uint32_t value = 0;
    for (int index = 3; index >= 0; --index)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + static_cast<std::size_t>(index)));
    return value;
}

std::vector<int> ProgressRecorder::values;
int ProgressRecorder::cancelAtCall = 0;

void ProgressRecorder::reset(int cancelAt)
{
    values.clear();
    cancelAtCall = cancelAt;
}

int ProgressRecorder::record(int percent)
{
    values.push_back(percent);
    return cancelAtCall != 0 && static_cast<int>(values.size()) >= cancelAtCall ? 1 : 0;
}

}
