#pragma once
// Code page 1251 through the system's converter, one implementation file per
// system (code_page_posix.cpp: iconv, code_page_win32.cpp: the Windows
// converter). cp1251.h builds the program's conversions on it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files::platform {

// `characters` are single UTF-8 encoded characters outside ASCII; the result
// holds the byte of each, or nullopt where code page 1251 has none.
std::vector<std::optional<char>> EncodeCp1251Characters(const std::vector<std::string_view>& characters);
// Bytes to UTF-8 (never given 0x98, which the caller maps itself).
std::string DecodeCp1251Bytes(std::string_view bytes);

}  // namespace files::platform
