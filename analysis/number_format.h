#pragma once
// Locale-independent number formatting with the user's separators.
//
// The program shows numbers with the decimal separator of the user's regional
// settings. The C library's printf follows the process locale, which a GUI
// toolkit may change behind our back, so numbers are formatted here with
// std::to_chars and the separators are put in explicitly.

#include <cstdint>
#include <string>

namespace analysis {

struct NumberFormat {
    std::string decimalSeparator = ".";
    std::string thousandSeparator = ",";
};

// printf "%W.Pf": fixed notation with `precision` decimals, right-aligned in
// at least `width` characters (leading blanks). NaN and infinities read
// "NAN", "INF" and "-INF".
std::string FormatFixed(double value, int precision, const NumberFormat& nf, int width = 0);

// printf "%Wd".
std::string FormatInt(std::int64_t value, int width = 0);

// Rounding to the nearest integer, halves to the even neighbour. The value
// must be finite and within the range of the result type.
double RoundHalfEven(double value);

}  // namespace analysis
