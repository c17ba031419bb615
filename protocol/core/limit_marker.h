#pragma once
// A point's own Kп limit, written by the user into the file's comment as
// "Кп<=N" (N percent): how the protocol finds it, judges it and writes it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

struct LimitMarker {
    std::size_t at = 0;      // bytes before the marker in the comment
    std::size_t length = 0;  // bytes of the marker and its number
    // The limit in percent, as the protocol shows it; nullopt when the number
    // lies outside 0..100.
    std::optional<double> limit;
    std::string text;  // the marker as written, e.g. "Кп <= 500"
};

// The first marker of the comment (UTF-8) by position: "Кп" in any letter
// case, its К also as the Latin look-alike K, then "<=", blanks allowed
// around "<=", then a number with a decimal point or comma. nullopt when
// there is none.
std::optional<LimitMarker> FindLimitMarker(std::string_view commentUtf8);

// What "Вывод" says of a point whose marker lies outside 0..100.
std::string OutOfRangeMarkerText(const LimitMarker& marker);

// A limit as the protocol shows it (three decimals) and judges it: the
// verdict follows what is shown.
double ShownLimit(double limit);

// The comment with its first marker replaced by "Кп<=N" (or a line
// "Кп<=N" added at the end when it has none); with no limit the marker is
// removed (with its line when the marker was all of it). The rest of the
// text stays as it was.
std::string WithLimitMarker(std::string_view commentUtf8, std::optional<double> limit);

// The marker's text for a limit: "Кп<=2,5".
std::string LimitMarkerText(double limit);

}  // namespace protocol
