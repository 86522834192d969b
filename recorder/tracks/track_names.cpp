#include "tracks/track_names.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace wavelark {

namespace {

// The length of the well-formed UTF-8 character at the start of text (overlong forms, surrogates
// and values past U+10FFFF are not), or 0.
std::size_t characterLength(std::string_view text)
{
    const auto byte = [&](std::size_t index) { return static_cast<uint8_t>(text[index]); };
    const uint8_t lead = byte(0);
    std::size_t length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xbf;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t index = 2; index < length; ++index) {
        if (byte(index) < 0x80 || byte(index) > 0xbf)
            return 0;
    }
    return length;
}

int numberWidth(int total)
{
    return total >= 100 ? 3 : 2;
}

std::string trackNumber(int number, int total)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%0*d", numberWidth(total), number);
    return digits;
}

bool isBlank(char character)
{
    return character == ' ';
}

// Trims trailing blanks, then leading blanks and dots.
std::string trimmed(std::string text)
{
    while (!text.empty() && isBlank(text.back()))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && (isBlank(text[start]) || text[start] == '.'))
        ++start;
    return text.substr(start);
}

}

std::size_t utf8Prefix(std::string_view text, std::size_t limit)
{
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t length = characterLength(text.substr(end));
        if (length == 0 || end + length > limit)
            break;
        end += length;
    }
    return end;
}

std::string singleLineText(std::string_view text)
{
    std::string line(text);
    for (char& character : line) {
        if (static_cast<uint8_t>(character) < 0x20 || character == 0x7f)
            character = ' ';
    }
    return line;
}

std::string defaultTrackTitle(int number, int total)
{
    return "Track " + trackNumber(number, total);
}

std::string safeTrackTitle(std::string_view title, int number, int total)
{
    std::string safe;
    safe.reserve(title.size());
    for (std::size_t index = 0; index < title.size();) {
        const std::size_t length = characterLength(title.substr(index));
        if (length == 0) {
            safe += '?';
            ++index;
            continue;
        }
        const char character = title[index];
        if (character == '/')
            safe += '-';
        else if (character == '"')
            safe += '\'';
        else if (length == 1 && (static_cast<uint8_t>(character) < 0x20 || character == 0x7f))
            safe += ' ';
        else
            safe.append(title.substr(index, length));
        index += length;
    }
    safe = trimmed(std::move(safe));
    return safe.empty() ? defaultTrackTitle(number, total) : safe;
}

std::string trackFileName(int number, int total, std::string_view title, std::string_view extension,
                          std::size_t nameLimit)
{
    const std::string prefix = trackNumber(number, total);
    const std::string suffix = "." + std::string(extension);
    const std::size_t frame = prefix.size() + 1 + suffix.size();
    if (frame >= nameLimit)
        return prefix + suffix;
    std::string safe = safeTrackTitle(title, number, total);
    safe.resize(utf8Prefix(safe, nameLimit - frame));
    // The cut may leave a blank at the end, or nothing when the budget is shorter than the first
    // character.
    safe = trimmed(std::move(safe));
    if (safe.empty())
        return prefix + suffix;
    return prefix + " " + safe + suffix;
}

std::vector<std::string> trackFileNames(const std::vector<std::string>& titles, std::string_view extension,
                                        std::size_t nameLimit)
{
    std::vector<std::string> names;
    names.reserve(titles.size());
    const int total = static_cast<int>(titles.size());
    for (int number = 1; number <= total; ++number)
        names.push_back(trackFileName(number, total, titles[static_cast<std::size_t>(number - 1)], extension, nameLimit));
    return names;
}

}
