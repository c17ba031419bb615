#pragma once
// The order a person expects of file names: runs of digits compare as
// numbers, letters without regard to case (Cyrillic too): "Точка 1",
// "точка 2", "Точка 9а", "Точка 10".

#include <string>
#include <string_view>
#include <vector>

namespace protocol {

// Names as the file system gives them (UTF-8, or any bytes: a name that is
// not UTF-8 is taken as code page 1251, as it is shown).
bool NaturalLess(std::string_view a, std::string_view b);

void SortNaturally(std::vector<std::string>& names);

}  // namespace protocol
