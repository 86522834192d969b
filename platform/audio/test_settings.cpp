#include "test_settings.h"

#include "option_text.h"

#include <cmath>
#include <vector>

namespace wavelark::audio {

namespace {

bool parseInput(std::string_view value, TestSettings& settings, std::string& error)
{
    if (value == "silence") {
        settings.input = TestInput::Silence;
        return true;
    }
    if (value == "ramp") {
        settings.input = TestInput::Ramp;
        return true;
    }
    if (value.starts_with("ramp,")) {
        settings.input = TestInput::Ramp;
        if (!parseNumber(value.substr(5), settings.rampOnsetSeconds) || !(settings.rampOnsetSeconds >= 0)) {
            error = "ramp onset '" + std::string(value.substr(5)) + "' is not a number of seconds";
            return false;
        }
        return true;
    }
    if (value.starts_with("wav,") && value.size() > 4) {
        settings.input = TestInput::WavFile;
        settings.inputFile = std::string(value.substr(4));
        return true;
    }
    std::vector<std::string_view> parts = split(value, ',');
    if (parts[0] != "sine" || parts.size() > 3) {
        error = "unknown input '" + std::string(value) + "'";
        return false;
    }
    settings.input = TestInput::Sine;
    if (parts.size() > 1 && (!parseNumber(parts[1], settings.sineFrequency) || !(settings.sineFrequency > 0))) {
        error = "sine frequency '" + std::string(parts[1]) + "' is not a positive number of hertz";
        return false;
    }
    if (parts.size() > 2 && (!parseNumber(parts[2], settings.sineLevelDecibels) || !(settings.sineLevelDecibels <= 0))) {
        error = "sine level '" + std::string(parts[2]) + "' is not a level in dBFS of 0 or below";
        return false;
    }
    return true;
}

bool parseDeviceCount(std::string_view value, int& count, std::string& error)
{
    if (!parseNumber(value, count) || count < 0 || count > 16) {
        error = "device count '" + std::string(value) + "' is not a number from 0 to 16";
        return false;
    }
    return true;
}

bool parseDeviceNames(std::string_view value, std::vector<std::string>& names, int& count, std::string& error)
{
    names.clear();
    for (std::string_view name : split(value, '|')) {
        if (name.empty()) {
            error = "device names '" + std::string(value) + "' hold an empty name";
            return false;
        }
        names.emplace_back(name);
    }
    if (names.size() > 16) {
        error = "device names '" + std::string(value) + "' name more than 16 devices";
        return false;
    }
    count = static_cast<int>(names.size());
    return true;
}

bool parseOption(std::string_view option, TestSettings& settings, std::string& error)
{
    size_t equals = option.find('=');
    std::string_view name = option.substr(0, equals);
    std::string_view value = equals == std::string_view::npos ? std::string_view() : option.substr(equals + 1);
    if (name == "input")
        return parseInput(value, settings, error);
    if (name == "pace") {
        if (value != "realtime" && value != "fast") {
            error = "pace must be realtime or fast, not '" + std::string(value) + "'";
            return false;
        }
        settings.pace = value == "fast" ? TestPace::Fast : TestPace::RealTime;
        return true;
    }
    if (name == "output") {
        if (value.empty()) {
            error = "output needs a WAV file path or discard";
            return false;
        }
        settings.outputFile = value == "discard" ? std::string() : std::string(value);
        return true;
    }
    if (name == "inputs")
        return parseDeviceCount(value, settings.inputDevices, error);
    if (name == "outputs")
        return parseDeviceCount(value, settings.outputDevices, error);
    if (name == "inputnames")
        return parseDeviceNames(value, settings.inputNames, settings.inputDevices, error);
    if (name == "outputnames")
        return parseDeviceNames(value, settings.outputNames, settings.outputDevices, error);
    error = "unknown option '" + std::string(option) + "'";
    return false;
}

}

std::optional<TestSettings> parseTestSettings(std::string_view value, std::string& error)
{
    TestSettings settings;
    if (value == "test")
        return settings;
    if (!value.starts_with("test:")) {
        error = "WAVELARK_AUDIO='" + std::string(value) + "' is not a test device setting";
        return std::nullopt;
    }
    value.remove_prefix(5);
    for (std::string_view option : split(value, ';')) {
        if (option.empty())
            continue;
        if (!parseOption(option, settings, error)) {
            error = "WAVELARK_AUDIO: " + error;
            return std::nullopt;
        }
    }
    return settings;
}

}
