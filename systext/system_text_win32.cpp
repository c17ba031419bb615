#include <windows.h>

#include <cwchar>
#include <string_view>

#include "systext/system_text.h"

namespace systext {
namespace {

std::string Utf8(std::wstring_view wide)
{
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '))
        wide.remove_suffix(1);
    if (wide.empty())
        return {};
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::string SystemErrorText(int code)
{
    // The wide text: the ANSI one is in the system's code page (1251 on a
    // Russian Windows), which the rest of the program does not read.
    wchar_t text[512] = L"";
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                     static_cast<DWORD>(code), 0, text, 512, nullptr);
    return Utf8(std::wstring_view(text, n));
}

std::string ErrnoText(int errnum)
{
    wchar_t text[256] = L"";
    if (::_wcserror_s(text, 256, errnum) != 0)
        return "error " + std::to_string(errnum);
    return Utf8(text);
}

}  // namespace systext
