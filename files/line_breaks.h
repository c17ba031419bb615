#pragma once
// Line breaks of a comment as the file and the original text box hold them:
// every CR LF, lone CR and lone LF becomes CR LF; in UTF-16 the paragraph
// separator U+2029 (a text box's line break) too.

#include <cstddef>
#include <string>
#include <string_view>

namespace files {

namespace line_breaks {

template <typename Char>
std::basic_string<Char> WithCrLf(std::basic_string_view<Char> text)
{
    const auto isBreak = [](Char c) {
        if constexpr (sizeof(Char) > 1) {
            if (c == Char(0x2029))
                return true;
        }
        return c == Char('\r') || c == Char('\n');
    };
    std::basic_string<Char> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Char c = text[i];
        if (isBreak(c)) {
            out += Char('\r');
            out += Char('\n');
            if (c == Char('\r') && i + 1 < text.size() && text[i + 1] == Char('\n'))
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace line_breaks

// The bytes of a comment (UTF-8 or code page 1251) and its UTF-16 text.
inline std::string WithCrLf(std::string_view text)
{
    return line_breaks::WithCrLf(text);
}
inline std::u16string WithCrLf(std::u16string_view text)
{
    return line_breaks::WithCrLf(text);
}

}  // namespace files
