#include "files/cp1251.h"

#include <algorithm>

#include "files/file_error.h"
#include "files/code_page.h"

namespace files {

namespace {

constexpr char kUndefinedByte = '\x98';
constexpr std::string_view kUndefinedByteCharacter = "\xC2\x98";  // U+0098

void AddOnce(std::vector<std::string>& list, std::string_view c)
{
    if (std::find(list.begin(), list.end(), c) == list.end())
        list.emplace_back(c);
}

}  // namespace

std::size_t Utf8CharLength(std::string_view s)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t len = 0;
    char32_t cp = 0;
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (s.size() < len)
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are malformed.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool IsValidUtf8(std::string_view s)
{
    while (!s.empty()) {
        const std::size_t len = Utf8CharLength(s);
        if (len == 0)
            return false;
        s.remove_prefix(len);
    }
    return true;
}

std::string DisplayText(std::string_view bytes)
{
    return IsValidUtf8(bytes) ? std::string(bytes) : DecodeCp1251(bytes);
}

Cp1251Text EncodeCp1251(std::string_view utf8)
{
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    Cp1251Text result;
    // ASCII is the same in both encodings. Every other character goes to the
    // system's converter and leaves a placeholder byte until it has answered;
    // a malformed byte is kept as an empty piece.
    struct Piece {
        std::size_t at;
        std::string_view text;
    };
    std::vector<Piece> pieces;
    std::vector<std::string_view> characters;
    std::string_view rest = utf8;
    while (!rest.empty()) {
        const std::size_t len = Utf8CharLength(rest);
        if (len == 1) {
            result.bytes += rest[0];
        } else if (rest.substr(0, len) == kUndefinedByteCharacter) {
            result.bytes += kUndefinedByte;
        } else {
            pieces.push_back({result.bytes.size(), rest.substr(0, len)});
            if (len > 0) {
                characters.push_back(rest.substr(0, len));
                result.bytes += '?';
            }
        }
        rest.remove_prefix(std::max<std::size_t>(len, 1));
    }
    const auto encoded = platform::EncodeCp1251Characters(characters);
    std::size_t next = 0;
    for (const Piece& piece : pieces) {
        if (piece.text.empty()) {
            AddOnce(result.unencodable, kReplacement);
        } else if (const auto byte = encoded[next++]) {
            result.bytes[piece.at] = *byte;
        } else {
            AddOnce(result.unencodable, piece.text);
        }
    }
    return result;
}

std::string EncodeCp1251OrThrow(std::string_view utf8)
{
    Cp1251Text text = EncodeCp1251(utf8);
    if (!text.unencodable.empty())
        throw EncodingError(std::move(text.unencodable));
    return std::move(text.bytes);
}

std::string DecodeCp1251(std::string_view bytes)
{
    // The code page leaves 0x98 undefined; it reads as the control U+0098 and
    // is written back as 0x98, so that every byte of a comment survives.
    std::string text;
    while (!bytes.empty()) {
        const std::size_t undefined = bytes.find(kUndefinedByte);
        text += platform::DecodeCp1251Bytes(bytes.substr(0, undefined));
        if (undefined == std::string_view::npos)
            break;
        text += kUndefinedByteCharacter;
        bytes.remove_prefix(undefined + 1);
    }
    return text;
}

}  // namespace files
