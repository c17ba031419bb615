#include "protocol/core/limit_marker.h"

#include <charconv>
#include <cmath>

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

// The marker starting at `at`, if one does.
std::optional<LimitMarker> MarkerAt(std::string_view s, std::size_t at)
{
    std::size_t i = at;
    const std::size_t k = StartsWithAny(s, i, {"К", "к", "K", "k"});
    if (k == 0)
        return std::nullopt;
    i += k;
    const std::size_t p = StartsWithAny(s, i, {"п", "П"});
    if (p == 0)
        return std::nullopt;
    i = SkipBlanks(s, i + p);
    if (!s.substr(i).starts_with("<="))
        return std::nullopt;
    i = SkipBlanks(s, i + 2);
    std::string number;
    while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.' || s[i] == ',')) {
        number += s[i] == ',' ? '.' : s[i];
        ++i;
    }
    // A trailing point ends the sentence, not the number.
    while (!number.empty() && number.back() == '.') {
        number.pop_back();
        --i;
    }
    double value = 0.0;
    const auto res = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || res.ec != std::errc() || res.ptr != number.data() + number.size())
        return std::nullopt;
    LimitMarker m;
    m.at = at;
    m.length = i - at;
    m.text = std::string(s.substr(at, m.length));
    if (value >= 0.0 && value <= 100.0)
        m.limit = ShownLimit(value);
    return m;
}

bool IsBreak(char c)
{
    return c == '\r' || c == '\n';
}

}  // namespace

std::optional<LimitMarker> FindLimitMarker(std::string_view comment)
{
    for (std::size_t at = 0; at < comment.size(); ++at)
        if (auto m = MarkerAt(comment, at))
            return m;
    return std::nullopt;
}

std::string OutOfRangeMarkerText(const LimitMarker& marker)
{
    return "норма «" + marker.text + "» вне 0…100 %";
}

double ShownLimit(double limit)
{
    return static_cast<double>(std::llround(limit * 1000.0)) / 1000.0;
}

std::string LimitMarkerText(double limit)
{
    std::string text = analysis::FormatFixed(ShownLimit(limit), 3, {",", ""});
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == ',')
        text.pop_back();
    return "Кп<=" + text;
}

std::string WithLimitMarker(std::string_view comment, std::optional<double> limit)
{
    std::string out(comment);
    const auto found = FindLimitMarker(comment);
    if (limit) {
        const std::string marker = LimitMarkerText(*limit);
        if (found)
            return out.replace(found->at, found->length, marker);
        // A line of its own at the end; an empty comment keeps its empty place line.
        if (out.empty() || !IsBreak(out.back()))
            out += "\r\n";
        return out + marker;
    }
    if (!found)
        return out;
    std::size_t from = found->at;
    std::size_t to = found->at + found->length;
    const bool lineStart = from == 0 || IsBreak(out[from - 1]);
    const bool lineEnd = to == out.size() || IsBreak(out[to]);
    if (lineStart && lineEnd) {
        // The marker was the whole line: its line break goes with it.
        if (to < out.size())
            to += out.compare(to, 2, "\r\n") == 0 ? 2 : 1;
        else if (from > 0)
            from -= from >= 2 && out.compare(from - 2, 2, "\r\n") == 0 ? 2 : 1;
    }
    return out.erase(from, to - from);
}

}  // namespace protocol
