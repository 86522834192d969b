#include "emulated_drive_settings.h"

#include "option_text.h"

namespace wavelark::scsi {

namespace {

using audio::parseNumber;
using audio::split;

constexpr uint32_t kLastAddress = (99 * 60 + 59) * 75 + 74;

bool parseAddress(std::string_view text, uint32_t& frames, std::string& error)
{
    std::vector<std::string_view> parts = split(text, ':');
    uint32_t minute = 0, second = 0, frame = 0;
    if (parts.size() != 3 || !parseNumber(parts[0], minute) || !parseNumber(parts[1], second)
        || !parseNumber(parts[2], frame) || minute > 99 || second > 59 || frame > 74) {
        error = "address '" + std::string(text) + "' is not MM:SS:FF";
        return false;
    }
    frames = (minute * 60 + second) * 75 + frame;
    return true;
}

bool parseOption(std::string_view option, EmulatedDiscSettings& settings, std::string& error)
{
    size_t equals = option.find('=');
    std::string_view name = option.substr(0, equals);
    std::string_view value = equals == std::string_view::npos ? std::string_view() : option.substr(equals + 1);
    if (name == "tracks") {
        settings.trackStarts.clear();
        for (std::string_view address : split(value, ',')) {
            uint32_t frames = 0;
            if (!parseAddress(address, frames, error))
                return false;
            settings.trackStarts.push_back(frames);
        }
        if (settings.trackStarts.size() > 99) {
            error = "a disc holds at most 99 tracks";
            return false;
        }
        return true;
    }
    if (name == "leadout")
        return parseAddress(value, settings.leadOut, error);
    if (name == "audio") {
        if (value == "sector") {
            settings.wavAudio = false;
            return true;
        }
        if (value.starts_with("wav,") && value.size() > 4) {
            settings.wavAudio = true;
            settings.wavPath = std::string(value.substr(4));
            return true;
        }
        error = "audio must be sector or wav,PATH, not '" + std::string(value) + "'";
        return false;
    }
    if (name == "disc") {
        if (value != "none") {
            error = "disc takes only the value none";
            return false;
        }
        settings.discPresent = false;
        return true;
    }
    if (name == "data") {
        if (!parseNumber(value, settings.dataTrack) || settings.dataTrack < 1 || settings.dataTrack > 99) {
            error = "data track '" + std::string(value) + "' is not a track number";
            return false;
        }
        return true;
    }
    if (name == "error") {
        uint32_t block = 0;
        if (!parseNumber(value, block)) {
            error = "error block '" + std::string(value) + "' is not a logical block number";
            return false;
        }
        settings.errorBlock = block;
        return true;
    }
    if (name == "change") {
        uint64_t command = 0;
        if (!parseNumber(value, command) || command == 0) {
            error = "change '" + std::string(value) + "' is not a command number from 1";
            return false;
        }
        settings.changeAtCommand = command;
        return true;
    }
    if (name == "ready") {
        uint32_t milliseconds = 0;
        if (value == "never")
            settings.readyAfterMilliseconds.reset();
        else if (parseNumber(value, milliseconds))
            settings.readyAfterMilliseconds = milliseconds;
        else {
            error = "ready must be milliseconds or never, not '" + std::string(value) + "'";
            return false;
        }
        return true;
    }
    if (name == "delay") {
        if (!parseNumber(value, settings.commandMilliseconds) || settings.commandMilliseconds > 60000) {
            error = "delay '" + std::string(value) + "' is not milliseconds from 0 to 60000";
            return false;
        }
        return true;
    }
    if (name == "drives") {
        if (!parseNumber(value, settings.drives) || settings.drives < 0 || settings.drives > 16) {
            error = "drive count '" + std::string(value) + "' is not a number from 0 to 16";
            return false;
        }
        return true;
    }
    error = "unknown option '" + std::string(option) + "'";
    return false;
}

// Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about "'" + std::string(...) here.
std::string notTheEmulatedDrive(std::string_view value)
{
    std::string text = "'";
    text.append(value).append("' does not name the emulated drive");
    return text;
}

}

std::optional<EmulatedDiscSettings> parseEmulatedDiscSettings(std::string_view value, std::string& error)
{
    if (!value.starts_with("emulated")) {
        error = notTheEmulatedDrive(value);
        return std::nullopt;
    }
    std::string_view options = value.substr(8);
    EmulatedDiscSettings settings;
    if (!options.empty()) {
        if (options[0] != ':') {
            error = notTheEmulatedDrive(value);
            return std::nullopt;
        }
        options.remove_prefix(1);
        if (!options.empty()) {
            for (std::string_view option : split(options, ';'))
                if (!parseOption(option, settings, error))
                    return std::nullopt;
        }
    }
    if (settings.trackStarts.empty() || settings.trackStarts.front() < kLeadInFrames) {
        error = "the first track cannot start before 00:02:00";
        return std::nullopt;
    }
    for (size_t track = 1; track < settings.trackStarts.size(); ++track) {
        if (settings.trackStarts[track] <= settings.trackStarts[track - 1]) {
            error = "track " + std::to_string(track + 1) + " does not start after track " + std::to_string(track);
            return std::nullopt;
        }
    }
    if (settings.leadOut <= settings.trackStarts.back() || settings.leadOut > kLastAddress) {
        error = "the lead-out does not come after the last track";
        return std::nullopt;
    }
    return settings;
}

}
