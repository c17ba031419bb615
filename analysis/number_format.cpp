#include "analysis/number_format.h"

#include <charconv>
#include <cmath>

namespace analysis {

namespace {

std::string PadLeft(std::string text, int width)
{
    if (width > 0 && static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

}  // namespace

std::string FormatFixed(double value, int precision, const NumberFormat& nf, int width)
{
    if (std::isnan(value))
        return PadLeft("NAN", width);
    if (std::isinf(value))
        return PadLeft(value < 0 ? "-INF" : "INF", width);
    if (precision < 0)
        precision = 0;
    // 1e308 with 20 decimals fits in 330 characters.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    std::string text(buf, res.ptr);
    // printf prints a negative zero as "-0.000"; so do we (to_chars agrees).
    auto dot = text.find('.');
    if (dot != std::string::npos)
        text.replace(dot, 1, nf.decimalSeparator);
    // Byte count and character count differ for a multi-byte separator; pad by characters.
    int chars = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++chars;
    if (width > chars)
        text.insert(0, static_cast<std::size_t>(width - chars), ' ');
    return text;
}

std::string FormatInt(std::int64_t value, int width)
{
    return PadLeft(std::to_string(value), width);
}

double RoundHalfEven(double value)
{
    // nearbyint rounds in the current rounding mode, which we never change
    // from round-to-nearest-even.
    return std::nearbyint(value);
}

}  // namespace analysis
