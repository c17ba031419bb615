#pragma once
// A point's own norms, written by the user anywhere into the file's comment:
// "Кп<=N" (the Kп limit, N percent) and "Е>=N" (the illuminance norm, N lux);
// and the point's room, a comment line "Помещение: NAME". How the protocol
// finds them, judges them and writes them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

// The two norms a comment may hold.
enum class Norm {
    Pulsation,    // "Кп<=N", 0 <= N <= 100 %
    Illuminance,  // "Е>=N", 0 < N <= 100 000 lx
};

struct NormMarker {
    Norm norm = Norm::Pulsation;
    std::size_t at = 0;      // bytes before the marker in the comment
    std::size_t length = 0;  // bytes of the marker and its number
    // The norm as the protocol shows it; nullopt when the number lies outside
    // the norm's range.
    std::optional<double> value;
    std::string text;  // the marker as written, e.g. "Кп <= 500"
};

// The first marker of the norm in the comment (UTF-8) by position, nullopt
// when there is none. "Кп" in any letter case, its К also as the Latin
// look-alike K; "Е" in any case, Cyrillic or Latin. Then "<=" (Кп) or ">="
// (Е), blanks allowed around it, then a number with a decimal point or
// comma, a sign allowed (a negative norm is a marker out of range).
std::optional<NormMarker> FindNormMarker(std::string_view commentUtf8, Norm norm);

// Whether a number is within the norm's range.
bool InRange(Norm norm, double value);

// What "Вывод" says of a point whose marker lies outside its range.
std::string OutOfRangeMarkerText(const NormMarker& marker);

// A norm as the protocol shows it (three decimals) and judges it: the
// verdict follows what is shown.
double ShownLimit(double limit);

// The comment with its first marker of the norm replaced by one for `value`
// (or a line of its own added at the end when it has none); with no value the
// marker is removed (with its line when the marker was all of it). The rest
// of the text stays as it was.
std::string WithNormMarker(std::string_view commentUtf8, Norm norm, std::optional<double> value);

// The marker's text for a norm: "Кп<=2,5", "Е>=300".
std::string NormMarkerText(Norm norm, double value);

// The room of a comment: its first line "Помещение: NAME" ("Помещение" in any
// letter case, blanks around the colon), the name trimmed; nullopt without one.
std::optional<std::string> FindRoom(std::string_view commentUtf8);

// The comment with its first room line replaced by "Помещение: NAME" (or
// added as a line of its own at the end); a blank name removes the line.
std::string WithRoom(std::string_view commentUtf8, std::string_view name);

// Whether a comment line carries something of the protocol's own: a norm
// marker or the room.
bool CarriesProtocolData(std::string_view line);

}  // namespace protocol
