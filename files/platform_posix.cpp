#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "files/platform.h"

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

FilePtr CreateNewFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    FilePtr file(fdopen(fd, "wb"));
    if (!file) {
        const int error = errno;
        close(fd);
        unlink(path.c_str());
        errno = error;
    }
    return file;
}

int SyncFile(std::FILE* file)
{
    if (std::fflush(file) != 0 || fsync(fileno(file)) != 0)
        return errno != 0 ? errno : EIO;
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
        chmod(from.c_str(), target.st_mode & 07777);
    }
    if (replace)
        return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    // A hard link fails when the name exists, so no writer in between is
    // overwritten; file systems without links (FAT on a memory stick) fall
    // back to the check above.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
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
