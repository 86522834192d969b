#include "tracks/song_lengths.h"

#include <cctype>

namespace wavelark {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool allDigits(std::string_view text)
{
    for (char character : text) {
        if (!std::isdigit(static_cast<unsigned char>(character)))
            return false;
    }
    return !text.empty();
}

std::optional<double> parseLength(std::string_view entry)
{
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::string_view minutes = entry.substr(0, colon);
    const std::string_view seconds = entry.substr(colon + 1);
    if (!allDigits(minutes) || minutes.size() > 3 || !allDigits(seconds) || seconds.size() != 2)
        return std::nullopt;
    const int minuteCount = std::stoi(std::string(minutes));
    const int secondCount = std::stoi(std::string(seconds));
    if (secondCount > 59 || minuteCount * 60 + secondCount == 0)
        return std::nullopt;
    return double(minuteCount * 60 + secondCount);
}

}

std::optional<std::vector<double>> parseSongLengths(std::string_view text, std::string* error)
{
    std::vector<double> lengths;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view entry = trimmed(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        const std::optional<double> length = parseLength(entry);
        if (!length) {
            if (error) {
                *error = "song length " + std::to_string(lengths.size() + 1) + " (\"" + std::string(entry)
                         + "\") is not minutes:seconds such as 3:07";
            }
            return std::nullopt;
        }
        if (lengths.size() == kMostSongLengths) {
            if (error)
                *error = "at most " + std::to_string(kMostSongLengths) + " song lengths are taken";
            return std::nullopt;
        }
        lengths.push_back(*length);
        if (comma == std::string_view::npos)
            return lengths;
        start = comma + 1;
    }
}

}
