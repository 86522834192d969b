// wavelark-tracks FILE [--songs N | --lengths M:SS,M:SS,...]
//
// Proposes the tracks of a side: reads a 44100 Hz 16-bit stereo WAV file (or a raw take, a file
// that does not start with "RIFF": headerless 44100 Hz 16-bit stereo little-endian), finds the
// breaks between its songs with the recorder's break finder and prints one track a line,
// "NUMBER START END" in seconds with three decimals. Exit status 0; bad arguments or a file that
// cannot be read or is in another format get one line on standard error and status 1 (2 for the
// arguments).

#include "take/pcm_wav.h"
#include "tracks/break_finder.h"
#include "tracks/song_lengths.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace wavelark;

constexpr int kBadArguments = 2;
constexpr int kBadInput = 1;
constexpr int kMostSongs = 999;

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "wavelark-tracks: %s\n", message.c_str());
    return status;
}

struct Arguments {
    std::string path;
    TrackRequest request;
};

std::optional<int> parseSongs(std::string_view text)
{
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    int songs = 0;
    for (char character : text) {
        if (character < '0' || character > '9')
            return std::nullopt;
        songs = songs * 10 + (character - '0');
    }
    if (songs < 1 || songs > kMostSongs)
        return std::nullopt;
    return songs;
}

// The arguments, or nothing with the reason in error.
std::optional<Arguments> parseArguments(int count, char** values, std::string& error)
{
    Arguments arguments;
    bool songsGiven = false;
    bool lengthsGiven = false;
    for (int index = 1; index < count; ++index) {
        std::string_view argument = values[index];
        std::optional<std::string_view> value;
        std::string_view option = argument;
        if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != argument.npos) {
            option = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (option == "--songs" || option == "--lengths") {
            if (!value) {
                if (index + 1 == count) {
                    error = std::string(option) + " needs a value";
                    return std::nullopt;
                }
                value = std::string_view(values[++index]);
            }
            if (option == "--songs") {
                const std::optional<int> songs = parseSongs(*value);
                if (!songs) {
                    error = "--songs takes a number of songs from 1 to 999, not \"" + std::string(*value) + "\"";
                    return std::nullopt;
                }
                arguments.request.songs = *songs;
                songsGiven = true;
            } else {
                std::string reason;
                const std::optional<std::vector<double>> lengths = parseSongLengths(*value, &reason);
                if (!lengths) {
                    error = "--lengths: " + reason;
                    return std::nullopt;
                }
                arguments.request.lengthsSeconds = *lengths;
                lengthsGiven = true;
            }
        } else if (argument.starts_with("-") && argument != "-") {
            error = "unknown option " + std::string(argument);
            return std::nullopt;
        } else if (!arguments.path.empty()) {
            error = "one file at a time";
            return std::nullopt;
        } else {
            arguments.path = std::string(argument);
        }
    }
    if (arguments.path.empty()) {
        error = "usage: wavelark-tracks FILE [--songs N | --lengths M:SS,M:SS,...]";
        return std::nullopt;
    }
    if (songsGiven && lengthsGiven) {
        error = "give either --songs or --lengths, not both";
        return std::nullopt;
    }
    return arguments;
}

// The file's audio as a region for the level profile: a WAV file's data chunk, or a raw take whole.
std::optional<PcmRegion> openAudio(const std::string& path, std::string& error)
{
    char magic[4] = {};
    {
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) {
            error = std::strerror(errno);
            return std::nullopt;
        }
        const ssize_t read = ::pread(descriptor, magic, sizeof magic, 0);
        ::close(descriptor);
        if (read < 0) {
            error = std::strerror(errno);
            return std::nullopt;
        }
    }
    if (std::memcmp(magic, "RIFF", 4) == 0) {
        std::optional<PcmWav> wav = openPcmWav(path, &error, PcmAccess::ReadOnly);
        if (!wav)
            return std::nullopt;
        if (wav->format.sampleRate != kTrackSampleRate || wav->format.bitsPerSample != 16 || wav->format.channels != 2) {
            error = "not 44100 Hz 16-bit stereo (" + std::to_string(wav->format.sampleRate) + " Hz, "
                    + std::to_string(wav->format.bitsPerSample) + "-bit, " + std::to_string(wav->format.channels)
                    + (wav->format.channels == 1 ? " channel)" : " channels)");
            return std::nullopt;
        }
        return std::move(wav->region);
    }
    PcmRegion region;
    if (!region.openForReading(path, 0, 0, &error))
        return std::nullopt;
    if (region.dataSize() < 4) {
        error = "holds no audio";
        return std::nullopt;
    }
    return region;
}

}

int main(int argc, char** argv)
{
    std::string error;
    const std::optional<Arguments> arguments = parseArguments(argc, argv, error);
    if (!arguments)
        return fail(kBadArguments, error);
    const std::optional<PcmRegion> region = openAudio(arguments->path, error);
    if (!region)
        return fail(kBadInput, arguments->path + ": " + error);
    const std::optional<LevelProfile> profile = readLevelProfile(*region, &error);
    if (!profile)
        return fail(kBadInput, arguments->path + ": " + error);

    const TrackProposal proposal = proposeTracks(*profile, arguments->request);
    for (std::size_t index = 0; index < proposal.tracks.size(); ++index) {
        const Track& track = proposal.tracks[index];
        std::printf("%zu %.3f %.3f\n", index + 1, double(track.startFrame) / kTrackSampleRate,
                    double(track.endFrame) / kTrackSampleRate);
    }
    if (std::fflush(stdout) != 0)
        return fail(kBadInput, std::string("cannot write the tracks: ") + std::strerror(errno));
    return 0;
}
