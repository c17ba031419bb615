#pragma once
// Code page 1251, the encoding of comments in measurement files and of the
// text export, to and from the UTF-8 the program works in.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace files {

struct Cp1251Text {
    std::string bytes;                     // complete only when `unencodable` is empty
    std::vector<std::string> unencodable;  // each character without a 1251 byte, once, in order
};

// Never replaces a character silently: whatever cannot be encoded, including
// malformed UTF-8 (listed as U+FFFD), is listed instead.
Cp1251Text EncodeCp1251(std::string_view utf8);

// Like EncodeCp1251, but raises EncodingError when something cannot be encoded.
std::string EncodeCp1251OrThrow(std::string_view utf8);

// Every byte has a character; 0x98, undefined in the code page, reads as
// U+0098, which EncodeCp1251 writes back as 0x98.
std::string DecodeCp1251(std::string_view bytes);

// Length of the well-formed UTF-8 character at the start of `s` (not empty), or 0.
std::size_t Utf8CharLength(std::string_view s);

bool IsValidUtf8(std::string_view s);

// A file name or line as the user reads it, in UTF-8: UTF-8 as it is,
// anything else (a name written by a system in code page 1251) as code page 1251.
std::string DisplayText(std::string_view bytes);

}  // namespace files
