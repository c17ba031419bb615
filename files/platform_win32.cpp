#include <windows.h>

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

}  // namespace files::platform
