#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

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
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

struct FindCloser {
    void operator()(HANDLE h) const { FindClose(h); }
};

// The errno value of a failed file call, so that messages name the reason.
int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return EINVAL;
    default:
        return EIO;
    }
}

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

void SetBinaryStandardOutput()
{
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

void RemoveFile(const std::string& path)
{
    _wremove(Widen(path).c_str());
}

FilePtr CreateNewFile(const std::string& path)
{
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        _wremove(Widen(path).c_str());
        errno = EIO;
        return nullptr;
    }
    FilePtr file(_fdopen(fd, "wb"));
    if (!file) {
        _close(fd);
        _wremove(Widen(path).c_str());
        errno = EIO;
    }
    return file;
}

int SyncFile(std::FILE* file)
{
    if (std::fflush(file) != 0 || _commit(_fileno(file)) != 0)
        return errno != 0 ? errno : EIO;
    return 0;
}

int RenameFile(const std::string& from, const std::string& to, bool replace)
{
    const std::wstring target = Widen(to);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!replace)
            return EEXIST;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return EACCES;
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(Widen(from).c_str(), target.c_str(), flags))
        return 0;
    return ErrnoOf(GetLastError());
}

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}

std::tm LocalTime(std::time_t t)
{
    std::tm result{};
    localtime_s(&result, &t);
    return result;
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
