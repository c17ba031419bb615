// Code page 1251 through the Windows converter.
#include <windows.h>

#include "files/code_page.h"
#include "files/wide_win32.h"

namespace files::platform {

std::vector<std::optional<char>> EncodeCp1251Characters(const std::vector<std::string_view>& characters)
{
    std::vector<std::optional<char>> bytes(characters.size());
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const std::wstring wide = Widen(characters[i]);
        char out[4];
        BOOL usedDefault = FALSE;
        // No best-fit mapping: a character without its own byte must not turn into a look-alike.
        const int n = WideCharToMultiByte(1251, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out,
                                          sizeof out, nullptr, &usedDefault);
        if (n == 1 && !usedDefault)
            bytes[i] = out[0];
    }
    return bytes;
}

std::string DecodeCp1251Bytes(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const int n = MultiByteToWideChar(1251, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(1251, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, utf8.data(), m, nullptr, nullptr);
    return utf8;
}

}  // namespace files::platform
