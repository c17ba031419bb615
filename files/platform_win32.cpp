#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "files/platform.h"
#include "files/wide_win32.h"
#include "systext/system_text.h"

namespace files::platform {

namespace {

struct FindCloser {
    void operator()(HANDLE h) const { FindClose(h); }
};

// The code of a failed system call on a file: EEXIST for a taken name, as on
// every system; otherwise the system's own code, whose text tells more.
int CodeOf(DWORD error)
{
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        return EEXIST;
    return kSystemCode + static_cast<int>(error);
}

// A path the wide file calls take at any length: past the classic limit of
// 260 characters only in the "\\?\" form, which must be absolute and have
// no "." or ".." steps and no forward slashes, as GetFullPathNameW makes it.
std::wstring FilePath(const std::string& path)
{
    std::wstring wide = Widen(path);
    if (wide.size() < 240 || wide.rfind(L"\\\\?\\", 0) == 0)
        return wide;
    const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return wide;
    std::wstring full(n, L'\0');
    const DWORD m = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (m == 0 || m >= n)
        return wide;
    full.resize(m);
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace

FilePtr OpenFile(const std::string& path, const char* mode)
{
    return FilePtr(_wfopen(FilePath(path).c_str(), Widen(mode).c_str()));
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
    _wremove(FilePath(path).c_str());
}

int ErrnoOf(int code)
{
    if (code < kSystemCode)
        return code;
    switch (static_cast<DWORD>(code - kSystemCode)) {
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return EBUSY;
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

std::string SystemText(int code)
{
    if (code >= kSystemCode)
        return systext::SystemErrorText(code - kSystemCode);
    // The C runtime's own table is English on every Windows: the system's text
    // of the matching system code, where there is one.
    DWORD system = 0;
    switch (code) {
    case EEXIST:
        system = ERROR_FILE_EXISTS;
        break;
    case EACCES:
    case EPERM:
        system = ERROR_ACCESS_DENIED;
        break;
    case ENOSPC:
    case EFBIG:
        system = ERROR_DISK_FULL;
        break;
    case ENOENT:
        system = ERROR_PATH_NOT_FOUND;
        break;
    case EROFS:
        system = ERROR_WRITE_PROTECT;
        break;
    case EBUSY:
        system = ERROR_SHARING_VIOLATION;
        break;
    case EINVAL:
        system = ERROR_INVALID_NAME;
        break;
    case EMFILE:
        system = ERROR_TOO_MANY_OPEN_FILES;
        break;
    case ENOMEM:
        system = ERROR_NOT_ENOUGH_MEMORY;
        break;
    case EIO:
        system = ERROR_GEN_FAILURE;
        break;
    default:
        return systext::ErrnoText(code);
    }
    return systext::SystemErrorText(static_cast<int>(system));
}

void ClearFileError()
{
    errno = 0;
    _doserrno = 0;
}

int LastFileError()
{
    // The C runtime keeps the system's code of a failed call beside errno.
    if (const unsigned long system = _doserrno; system != 0)
        return CodeOf(static_cast<DWORD>(system));
    return errno != 0 ? errno : EIO;
}

int CloseFile(FilePtr file)
{
    ClearFileError();
    return std::fclose(file.release()) == 0 ? 0 : LastFileError();
}

FilePtr CreateNewFile(const std::string& path, int& error)
{
    const std::wstring wide = FilePath(path);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = CodeOf(GetLastError());
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileW(wide.c_str());
        error = EMFILE;
        return nullptr;
    }
    FilePtr file(_fdopen(fd, "wb"));
    if (!file) {
        _close(fd);
        DeleteFileW(wide.c_str());
        error = ENOMEM;
    }
    return file;
}

bool NameTaken(const std::string& path)
{
    return GetFileAttributesW(FilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int LinkTarget(const std::string& path, std::string& target)
{
    target = path;
    return 0;
}

int SyncFile(std::FILE* file)
{
    ClearFileError();
    if (std::fflush(file) != 0 || _commit(_fileno(file)) != 0)
        return LastFileError();
    return 0;
}

int RenameFile(const std::string& from, const std::string& to, bool replace)
{
    const std::wstring target = FilePath(to);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!replace)
            return EEXIST;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return EACCES;
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(FilePath(from).c_str(), target.c_str(), flags))
        return 0;
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES) {
        // The system says only "access denied" for a target another program
        // holds open (a spreadsheet): the file itself tells which it is.
        HANDLE h = CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        else if (GetLastError() == ERROR_SHARING_VIOLATION)
            error = ERROR_SHARING_VIOLATION;
    }
    return CodeOf(error);
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

}  // namespace files::platform
