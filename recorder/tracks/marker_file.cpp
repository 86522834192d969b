#include "tracks/marker_file.h"

#include <QFile>

#include <charconv>
#include <cstdio>
#include <span>
#include <utility>
#include <vector>

namespace wavelark {

namespace {

// The file: a version line, the take's id and length, the end of the last track, the count of
// markers, one marker a line (frame, tab, escaped title), and a CRC-32 of everything before the
// check line, which finds a file cut at a line's end or a digit changed in a position.
constexpr char kVersionLine[] = "wavelark track markers 1";
constexpr qint64 kLongestFile = 1 << 20;

uint32_t crc32(std::string_view bytes)
{
    uint32_t crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= static_cast<uint8_t>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string checkLine(std::string_view content)
{
    char line[24];
    std::snprintf(line, sizeof line, "check %08x\n", crc32(content));
    return line;
}

// Titles keep their line breaks and tabs escaped, so that a marker is one line.
std::string escaped(std::string_view title)
{
    std::string text;
    for (const char character : title) {
        switch (character) {
        case '\\': text += "\\\\"; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        case '\0': text += "\\0"; break;
        default: text += character;
        }
    }
    return text;
}

std::optional<std::string> unescaped(std::string_view text)
{
    std::string title;
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] == '\t')
            return std::nullopt;
        if (text[index] != '\\') {
            title += text[index];
            continue;
        }
        if (++index == text.size())
            return std::nullopt;
        switch (text[index]) {
        case '\\': title += '\\'; break;
        case 'n': title += '\n'; break;
        case 'r': title += '\r'; break;
        case 't': title += '\t'; break;
        case '0': title += '\0'; break;
        default: return std::nullopt;
        }
    }
    return title;
}

// A decimal number as the writer writes it: digits only, no leading zero, within 64 bits.
std::optional<uint64_t> number(std::string_view text)
{
    uint64_t value = 0;
    if (text.empty() || (text.size() > 1 && text.front() == '0'))
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The value after "keyword " on line, or nothing when the line is not that.
std::optional<std::string_view> valueOf(std::string_view line, std::string_view keyword)
{
    if (line.size() <= keyword.size() || line.substr(0, keyword.size()) != keyword || line[keyword.size()] != ' ')
        return std::nullopt;
    return line.substr(keyword.size() + 1);
}

MarkerFileProblem damaged(std::string reason)
{
    return {MarkerFileProblem::Kind::Damaged, std::move(reason)};
}

// The markers held by content, checked whole; the take they name is compared by the caller.
std::variant<TrackMarkers, MarkerFileProblem> parsed(std::string_view content, std::string& takeId)
{
    if (content.empty() || content.back() != '\n')
        return damaged("the file does not end with a whole line");
    const std::size_t checkStart = content.rfind('\n', content.size() - 2);
    const std::string_view body = content.substr(0, checkStart == std::string_view::npos ? 0 : checkStart + 1);
    if (content.substr(body.size()) != checkLine(body))
        return damaged("its check line is missing or does not match its content");

    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < body.size();) {
        const std::size_t end = body.find('\n', start);
        lines.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty() || lines[0] != kVersionLine)
        return damaged("it is not a marker file of this version");
    const std::optional<std::string_view> id = lines.size() > 1 ? valueOf(lines[1], "take") : std::nullopt;
    const std::optional<std::string_view> bytesText = lines.size() > 2 ? valueOf(lines[2], "bytes") : std::nullopt;
    const std::optional<std::string_view> endText = lines.size() > 3 ? valueOf(lines[3], "end") : std::nullopt;
    const std::optional<std::string_view> countText = lines.size() > 4 ? valueOf(lines[4], "count") : std::nullopt;
    if (!id || !bytesText || !endText || !countText)
        return damaged("its heading lines are missing or out of order");
    const std::optional<uint64_t> bytes = number(*bytesText);
    const std::optional<uint64_t> end = number(*endText);
    const std::optional<uint64_t> count = number(*countText);
    if (!bytes || !end || !count)
        return damaged("a number in its heading is not a number");
    if (*count != lines.size() - 5)
        return damaged("it holds another count of markers than it says");

    takeId = *id == "-" ? std::string() : std::string(*id);
    TrackMarkers markers(*bytes);
    for (std::size_t index = 5; index < lines.size(); ++index) {
        const std::size_t tab = lines[index].find('\t');
        const std::optional<uint64_t> frame = number(lines[index].substr(0, tab));
        const std::optional<std::string> title =
            tab == std::string_view::npos ? std::nullopt : unescaped(lines[index].substr(tab + 1));
        if (!frame || !title)
            return damaged("marker line " + std::to_string(index - 4) + " is not a position and a title");
        if (!markers.empty() && *frame <= markers.markers().back().frame)
            return damaged("its markers are out of order");
        if (!markers.add(*frame, *title) || *frame >= *end)
            return damaged("a marker lies outside the take or past the end of its last track");
    }
    // setEnd holds the end after the last marker and within the take: an end it had to hold is
    // not one the writer wrote.
    markers.setEnd(*end);
    if (markers.end() != *end)
        return damaged("the end of its last track lies outside the take");
    return markers;
}

}

QString markersPathFor(const DataPaths& paths)
{
    return paths.folder + QStringLiteral("recording.markers");
}

std::optional<FileFailure> writeMarkers(const QString& path, const TrackMarkers& markers, const std::string& takeId)
{
    std::string content = std::string(kVersionLine) + "\n";
    content += "take " + (takeId.empty() ? std::string("-") : takeId) + "\n";
    content += "bytes " + std::to_string(markers.takeBytes()) + "\n";
    content += "end " + std::to_string(markers.end()) + "\n";
    content += "count " + std::to_string(markers.size()) + "\n";
    for (const TrackMarker& marker : markers.markers())
        content += std::to_string(marker.frame) + "\t" + escaped(marker.title) + "\n";
    content += checkLine(content);
    return replaceFile(QFile::encodeName(path).toStdString(),
                       std::span(reinterpret_cast<const uint8_t*>(content.data()), content.size()));
}

std::variant<TrackMarkers, MarkerFileProblem> readMarkers(const QString& path, const std::string& takeId,
                                                          uint64_t takeBytes)
{
    QFile file(path);
    if (!file.exists())
        return MarkerFileProblem{MarkerFileProblem::Kind::Missing, "there is no marker file"};
    if (!file.open(QIODevice::ReadOnly))
        return MarkerFileProblem{MarkerFileProblem::Kind::Unreadable, file.errorString().toStdString()};
    const QByteArray content = file.read(kLongestFile + 1);
    if (content.size() > kLongestFile)
        return damaged("it is longer than any marker file");
    std::string fileTakeId;
    std::variant<TrackMarkers, MarkerFileProblem> result =
        parsed(std::string_view(content.constData(), static_cast<std::size_t>(content.size())), fileTakeId);
    const TrackMarkers* markers = std::get_if<TrackMarkers>(&result);
    if (markers && (fileTakeId != takeId || markers->takeBytes() != takeBytes))
        return MarkerFileProblem{MarkerFileProblem::Kind::OtherTake, "the markers belong to another take"};
    return result;
}

bool clearMarkers(const QString& path)
{
    return QFile::remove(path) || !QFile::exists(path);
}

}
