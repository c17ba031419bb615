#pragma once
// Number pictures for axis labels and series values ("#,##0.###" and the like).
//
// A picture has up to three sections separated by ';' (positive; negative;
// zero). In a section '0' is a digit that is always shown, '#' a digit shown
// only when significant, '.' the place of the decimal separator and ',' (among
// the integer digits) asks for digit grouping. Text in single or double
// quotes, and any other character, is copied as it stands. The separators
// shown are the user's, not '.' and ','.

#include <string>
#include <string_view>

namespace chart {

struct TNumberSeparators {
    std::string Decimal = ".";
    std::string Grouping = ",";
};

// The separators used by every chart of the program; the application sets
// them once from the user's locale.
const TNumberSeparators& NumberSeparators();
void SetNumberSeparators(TNumberSeparators separators);

std::string FormatNumberPicture(double value, std::string_view picture, const TNumberSeparators& separators);

inline std::string FormatNumberPicture(double value, std::string_view picture)
{
    return FormatNumberPicture(value, picture, NumberSeparators());
}

// Decimals the picture can show for a positive number: the digit places after
// the point of its first section.
int PictureDecimals(std::string_view picture);

}  // namespace chart
