// Reading the option texts of the test backends' environment variables (WAVELARK_AUDIO's test
// device, WAVELARK_CD's emulated drive): "name=value;name=value", values split at commas.
#pragma once

#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

namespace wavelark::audio {

// The parts of text between separators; one empty part for an empty text.
inline std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return parts;
        text.remove_prefix(end + 1);
    }
}

// True when the whole text is a number of the type.
template<typename Number>
bool parseNumber(std::string_view text, Number& number)
{
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), number);
    return result == std::errc() && end == text.data() + text.size();
}

}
