#pragma once
// The few operating-system services the data-file code needs, one
// implementation file per system (platform_posix.cpp, platform_win32.cpp).
// Paths and names are UTF-8 on every system.

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files::platform {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fopen with a UTF-8 path; on failure null with errno set.
FilePtr OpenFile(const std::string& path, const char* mode);

// Writes `bytes` to `file` and closes it. 0 on success, else the errno of
// the failure (the close flushes: a full disk may show only there).
inline int WriteAndClose(FilePtr file, std::string_view bytes)
{
    // Nothing to write is no call: an empty view's data may be null, which fwrite must not get.
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    int error = written ? 0 : errno;
    if (std::fclose(file.release()) != 0 && error == 0)
        error = errno;
    if (!written && error == 0)
        error = EIO;
    return error;
}

// A command-line program's arguments after the program name, as UTF-8 (on
// Windows read from the wide command line: argv is in the ANSI code page).
// Also makes the console show the program's UTF-8 output.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Standard output takes bytes as they are: no LF made CR LF on Windows, where
// a text that brings its own CR LF would otherwise get CR CR LF.
void SetBinaryStandardOutput();

// Deletes a file; errors are ignored.
void RemoveFile(const std::string& path);

// Creates `path` for writing only when no file of that name exists; on
// failure null with errno set (EEXIST when it exists).
FilePtr CreateNewFile(const std::string& path);

// Writes what `file` holds through to the disk. 0 or the errno of the failure.
int SyncFile(std::FILE* file);

// Renames the file `from` to `to` in the same folder. With `replace` an
// existing `to` is replaced in one step, but not one that is read-only
// (EACCES), and the replacement keeps its permissions; without, EEXIST when
// `to` exists. 0 or the errno of the failure.
int RenameFile(const std::string& from, const std::string& to, bool replace);

// A character that ends the folder part of a path.
bool IsPathSeparator(char c);

// Names of all entries of `folder` (a folder part as SplitPath gives it; empty
// is the working folder), in the file system's enumeration order, without
// "." and "..". Empty when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder);

// The local time of `t` (the system's time zone), safe on any thread.
std::tm LocalTime(std::time_t t);

// Code page 1251 conversion through the system's converter. `characters` are
// single UTF-8 encoded characters outside ASCII; the result holds the byte of
// each, or nullopt where code page 1251 has none.
std::vector<std::optional<char>> EncodeCp1251Characters(const std::vector<std::string_view>& characters);
// Bytes to UTF-8 (never given 0x98, which the caller maps itself).
std::string DecodeCp1251Bytes(std::string_view bytes);

}  // namespace files::platform
