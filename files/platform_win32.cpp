#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "files/platform.h"

namespace files::platform {

namespace {

std::wstring Widen(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr,
                        nullptr);
    return utf8;
}

struct FindCloser {
    void operator()(HANDLE h) const { FindClose(h); }
};

}  // namespace

FilePtr OpenFile(const std::string& path, const char* mode)
{
    return FilePtr(_wfopen(Widen(path).c_str(), Widen(mode).c_str()));
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    SetConsoleOutputCP(CP_UTF8);
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide)
        return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < n; ++i)
        args.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

void RemoveFile(const std::string& path)
{
    _wremove(Widen(path).c_str());
}

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE first = FindFirstFileW((Widen(folder) + L"*").c_str(), &data);
    if (first == INVALID_HANDLE_VALUE)
        return names;
    std::unique_ptr<void, FindCloser> find(first);
    do {
        const std::wstring_view name(data.cFileName);
        if (name != L"." && name != L"..")
            names.push_back(Narrow(name));
    } while (FindNextFileW(first, &data));
    return names;
}

// Code page 1251 through the Windows converter.

std::vector<std::optional<char>> EncodeCp1251Characters(const std::vector<std::string_view>& characters)
{
    std::vector<std::optional<char>> bytes(characters.size());
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const std::wstring wide = Widen(characters[i]);
        char out[4];
        BOOL usedDefault = FALSE;
        // No best-fit mapping: a character without its own byte must not turn into a look-alike.
        const int n = WideCharToMultiByte(1251, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                          out, sizeof out, nullptr, &usedDefault);
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
