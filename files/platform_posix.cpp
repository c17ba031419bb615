#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/platform.h"
#include "systext/system_text.h"

namespace files::platform {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

}  // namespace

FilePtr OpenFile(const std::string& path, const char* mode)
{
    return FilePtr(std::fopen(path.c_str(), mode));
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

void SetBinaryStandardOutput() {}

void RemoveFile(const std::string& path)
{
    std::remove(path.c_str());
}

int ErrnoOf(int code)
{
    return code;
}

std::string SystemText(int code)
{
    return systext::ErrnoText(code);
}

void ClearFileError()
{
    errno = 0;
}

int LastFileError()
{
    return errno != 0 ? errno : EIO;
}

int CloseFile(FilePtr file)
{
    ClearFileError();
    return std::fclose(file.release()) == 0 ? 0 : LastFileError();
}

FilePtr CreateNewFile(const std::string& path, int& error)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = LastFileError();
        return nullptr;
    }
    FilePtr file(fdopen(fd, "wb"));
    if (!file) {
        error = LastFileError();
        close(fd);
        unlink(path.c_str());
    }
    return file;
}

bool NameTaken(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

int LinkTarget(const std::string& path, std::string& target)
{
    target = path;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return 0;
    // The whole chain of links, however long; the folder of the real file is
    // where its temporary must be, for the rename to stay in one file system.
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    if (!real)
        return errno == ENOENT ? kBrokenLink : LastFileError();
    target = real.get();
    return 0;
}

int SyncFile(std::FILE* file)
{
    ClearFileError();
    if (std::fflush(file) != 0 || fsync(fileno(file)) != 0)
        return LastFileError();
    return 0;
}

int RenameFile(const std::string& from, const std::string& to, bool replace)
{
    struct stat target {};
    const bool exists = lstat(to.c_str(), &target) == 0;
    if (exists && !replace)
        return EEXIST;
    if (exists && replace) {
        // A file the user made read-only is not replaced behind their back,
        // whoever runs the program (root may write to any file).
        if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(to.c_str(), W_OK) != 0)
            return EACCES;
        // The file's own permissions, nothing more (no set-id bits a copy must not get).
        if (chmod(from.c_str(), target.st_mode & 0777) != 0)
            return LastFileError();
    }
    if (replace)
        return rename(from.c_str(), to.c_str()) == 0 ? 0 : LastFileError();
    // A hard link fails when the name exists, so no writer in between is
    // overwritten; file systems without links (FAT on a memory stick) fall
    // back to the check above.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : LastFileError();
}

bool IsPathSeparator(char c)
{
    return c == '/';
}

std::tm LocalTime(std::time_t t)
{
    std::tm result{};
    localtime_r(&t, &result);
    return result;
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        names.emplace_back(entry->d_name);
    }
    return names;
}

}  // namespace files::platform
