#include "protocol/core/point_markers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "analysis/number_format.h"

namespace protocol {

namespace {

// The length of `s` at `at` when it starts with one of `options`, else 0.
std::size_t StartsWithAny(std::string_view s, std::size_t at, std::initializer_list<std::string_view> options)
{
    for (const std::string_view o : options)
        if (s.substr(at).starts_with(o))
            return o.size();
    return 0;
}

std::size_t SkipBlanks(std::string_view s, std::size_t i)
{
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    return i;
}

bool IsBreak(char c)
{
    return c == '\r' || c == '\n';
}

// A marker's letters (each in its forms), its sign and how the protocol writes it.
struct MarkerShape {
    std::array<std::array<std::string_view, 4>, 2> letters;  // empty forms and letters unused
    std::string_view sign;
    std::string_view written;
};

constexpr MarkerShape kPulsationShape{{{{"К", "к", "K", "k"}, {"п", "П", "", ""}}}, "<=", "Кп<="};
constexpr MarkerShape kIlluminanceShape{{{{"Е", "е", "E", "e"}, {"", "", "", ""}}}, ">=", "Е>="};

const MarkerShape& ShapeOf(Norm norm)
{
    return norm == Norm::Pulsation ? kPulsationShape : kIlluminanceShape;
}

// The length of the letter's form `s` starts with at `at`, else 0; 0 for a letter unused.
std::size_t LetterAt(std::string_view s, std::size_t at, const std::array<std::string_view, 4>& forms)
{
    for (const std::string_view f : forms)
        if (!f.empty() && s.substr(at).starts_with(f))
            return f.size();
    return 0;
}

// The marker starting at `at`, if one does.
std::optional<NormMarker> MarkerAt(std::string_view s, std::size_t at, Norm norm)
{
    const MarkerShape& shape = ShapeOf(norm);
    std::size_t i = at;
    for (const auto& letter : shape.letters) {
        if (letter.front().empty())
            break;
        const std::size_t n = LetterAt(s, i, letter);
        if (n == 0)
            return std::nullopt;
        i += n;
    }
    i = SkipBlanks(s, i);
    if (!s.substr(i).starts_with(shape.sign))
        return std::nullopt;
    i = SkipBlanks(s, i + shape.sign.size());
    std::string number;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        number += s[i++];
    const std::size_t digits = number.size();
    while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.' || s[i] == ',')) {
        number += s[i] == ',' ? '.' : s[i];
        ++i;
    }
    // A trailing point ends the sentence, not the number.
    while (number.size() > digits && number.back() == '.') {
        number.pop_back();
        --i;
    }
    const char* first = number.data() + (number.starts_with('+') ? 1 : 0);
    double value = 0.0;
    const auto res = std::from_chars(first, number.data() + number.size(), value);
    if (number.size() == digits || res.ec != std::errc() || res.ptr != number.data() + number.size())
        return std::nullopt;
    NormMarker m;
    m.norm = norm;
    m.at = at;
    m.length = i - at;
    m.text = std::string(s.substr(at, m.length));
    if (InRange(norm, value) && InRange(norm, ShownLimit(value)))
        m.value = ShownLimit(value);
    return m;
}

// Removes [from, to) of `text`; when that was a whole line, its line break goes with it.
std::string EraseWithLine(std::string text, std::size_t from, std::size_t to)
{
    const bool lineStart = from == 0 || IsBreak(text[from - 1]);
    const bool lineEnd = to == text.size() || IsBreak(text[to]);
    if (lineStart && lineEnd) {
        if (to < text.size())
            to += text.compare(to, 2, "\r\n") == 0 ? 2 : 1;
        else if (from > 0)
            from -= from >= 2 && text.compare(from - 2, 2, "\r\n") == 0 ? 2 : 1;
    }
    return text.erase(from, to - from);
}

// `line` added as a line of its own at the end; an empty comment keeps its
// empty place line.
std::string WithLineAtEnd(std::string text, std::string_view line)
{
    if (text.empty() || !IsBreak(text.back()))
        text += "\r\n";
    return text.append(line);
}

// "Помещение" in any letter case.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kRoomWord{{
    {"П", "п"},
    {"О", "о"},
    {"М", "м"},
    {"Е", "е"},
    {"Щ", "щ"},
    {"Е", "е"},
    {"Н", "н"},
    {"И", "и"},
    {"Е", "е"},
}};
constexpr std::string_view kRoomLine = "Помещение: ";

// The name of a room line (untrimmed text after the colon), or nullopt.
std::optional<std::string_view> RoomOfLine(std::string_view line)
{
    std::size_t i = SkipBlanks(line, 0);
    for (const auto& [upper, lower] : kRoomWord) {
        const std::size_t n = StartsWithAny(line, i, {upper, lower});
        if (n == 0)
            return std::nullopt;
        i += n;
    }
    i = SkipBlanks(line, i);
    if (i >= line.size() || line[i] != ':')
        return std::nullopt;
    return line.substr(i + 1);
}

std::string_view Trimmed(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The first room line: where it starts and ends (without its break).
std::optional<std::pair<std::size_t, std::size_t>> RoomLineSpan(std::string_view comment)
{
    for (std::size_t at = 0; at <= comment.size();) {
        std::size_t end = comment.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = comment.size();
        if (RoomOfLine(comment.substr(at, end - at)))
            return std::make_pair(at, end);
        if (end == comment.size())
            break;
        at = end + (comment.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return std::nullopt;
}

}  // namespace

bool InRange(Norm norm, double value)
{
    return norm == Norm::Pulsation ? value >= 0.0 && value <= 100.0 : value > 0.0 && value <= 100000.0;
}

std::optional<NormMarker> FindNormMarker(std::string_view comment, Norm norm)
{
    for (std::size_t at = 0; at < comment.size(); ++at)
        if (auto m = MarkerAt(comment, at, norm))
            return m;
    return std::nullopt;
}

std::string OutOfRangeMarkerText(const NormMarker& marker)
{
    return "норма «" + marker.text + (marker.norm == Norm::Pulsation ? "» вне 0…100 %" : "» вне 0…100 000 лк");
}

double ShownLimit(double limit)
{
    return static_cast<double>(std::llround(limit * 1000.0)) / 1000.0;
}

std::string NormMarkerText(Norm norm, double value)
{
    std::string text = analysis::FormatFixed(ShownLimit(value), 3, {",", ""});
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == ',')
        text.pop_back();
    return std::string(ShapeOf(norm).written) + text;
}

std::string WithNormMarker(std::string_view comment, Norm norm, std::optional<double> value)
{
    std::string out(comment);
    const auto found = FindNormMarker(comment, norm);
    if (value) {
        const std::string marker = NormMarkerText(norm, *value);
        if (found)
            return out.replace(found->at, found->length, marker);
        return WithLineAtEnd(std::move(out), marker);
    }
    if (!found)
        return out;
    return EraseWithLine(std::move(out), found->at, found->at + found->length);
}

std::optional<std::string> FindRoom(std::string_view comment)
{
    const auto span = RoomLineSpan(comment);
    if (!span)
        return std::nullopt;
    const std::string_view name = Trimmed(*RoomOfLine(comment.substr(span->first, span->second - span->first)));
    if (name.empty())
        return std::nullopt;
    return std::string(name);
}

std::string WithRoom(std::string_view comment, std::string_view name)
{
    std::string out(comment);
    const std::string_view trimmed = Trimmed(name);
    const auto span = RoomLineSpan(comment);
    if (trimmed.empty())
        return span ? EraseWithLine(std::move(out), span->first, span->second) : out;
    const std::string line = std::string(kRoomLine) + std::string(trimmed);
    if (span)
        return out.replace(span->first, span->second - span->first, line);
    return WithLineAtEnd(std::move(out), line);
}

bool CarriesProtocolData(std::string_view line)
{
    return FindNormMarker(line, Norm::Pulsation) || FindNormMarker(line, Norm::Illuminance) ||
           RoomOfLine(line).has_value();
}

}  // namespace protocol
