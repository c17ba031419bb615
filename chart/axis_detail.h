#pragma once
// Helpers shared by the axis's source files (range, labels, drawing); not part
// of the chart's interface.

#include "chart/axis.h"

#include <cmath>
#include <string>
#include <vector>

namespace chart::detail {

// Rounding of the engine: to nearest, halves to even (the default FP mode),
// by the pixel map's rounding. Undefined and huge inputs (a wild
// StartPosition, say) give 0 or the nearest 32-bit limit instead of an
// undefined conversion.
inline long long RoundHalfEven(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483648LL;
    return static_cast<long long>(TPixelMap::RoundToEven(v));
}

inline bool IsUpright(int angle)
{
    return angle == 0 || angle == 180;
}

inline std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos)
            return lines;
        start = nl + 1;
    }
}

}  // namespace chart::detail
