#pragma once
// The few operating-system services the data-file code needs, one
// implementation file per system (platform_posix.cpp, platform_win32.cpp).
// Paths and names are UTF-8 on every system.

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace files::platform {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fopen with a UTF-8 path; on failure null with errno set.
FilePtr OpenFile(const std::string& path, const char* mode);

// The codes the file calls below return: 0 is success; EEXIST a taken name and
// EACCES a read-only target on every system; otherwise an errno value, or on
// Windows kSystemCode plus the system's own error code (ERROR_SHARING_VIOLATION
// tells a file open in another program, where errno would only say EACCES).
inline constexpr int kSystemCode = 0x10000;

// The errno value nearest to a code (for choosing a message of our own).
int ErrnoOf(int code);
// The system's text for a code, UTF-8, in the system's language.
std::string SystemText(int code);

// Before a C library call on a file (fwrite, fflush, fclose): forget the last
// failure; after a failed one: its code.
void ClearFileError();
int LastFileError();

// Closes `file`. 0, or the code of the failure (the close flushes: a full disk
// may show only there).
int CloseFile(FilePtr file);

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
// failure null and `error` the code (EEXIST when it exists).
FilePtr CreateNewFile(const std::string& path, int& error);

// Whether anything (a file, a folder, a link even to nothing) has this name.
bool NameTaken(const std::string& path);

// The file a save onto `path` must replace: `path` itself, or where the
// symbolic link `path` leads. 0, kBrokenLink when the link leads nowhere, or
// the code of the failure.
int LinkTarget(const std::string& path, std::string& target);
inline constexpr int kBrokenLink = -1;

// Writes what `file` holds through to the disk. 0 or the code of the failure.
int SyncFile(std::FILE* file);

// Renames the file `from` to `to` in the same folder. With `replace` an
// existing `to` (a file, not a link) is replaced in one step, but not one that
// is read-only (EACCES), and the replacement takes its permissions; without,
// EEXIST when `to` exists. 0 or the code of the failure.
int RenameFile(const std::string& from, const std::string& to, bool replace);

// A character that ends the folder part of a path.
bool IsPathSeparator(char c);

// Names of all entries of `folder` (a folder part as SplitPath gives it; empty
// is the working folder), in the file system's enumeration order, without
// "." and "..". Empty when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder);

// The local time of `t` (the system's time zone), safe on any thread.
std::tm LocalTime(std::time_t t);

}  // namespace files::platform
