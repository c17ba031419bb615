#include "files/file_error.h"

#include <cerrno>

namespace files {

namespace {

std::string JoinCharacters(const std::vector<std::string>& characters)
{
    std::string list;
    for (const auto& c : characters) {
        if (!list.empty())
            list += " ";
        list += "«" + c + "»";
    }
    return list;
}

}  // namespace

EncodingError::EncodingError(std::vector<std::string> characters)
    : FileError("В тексте есть знаки, которых нет в кодировке Windows-1251: " +
                JoinCharacters(characters) + ". Файл не записан."),
      characters_(std::move(characters))
{
}

std::string CannotCreateMessage(const std::string& path)
{
    return "Cannot create file " + path;
}

std::string CannotOpenMessage(const std::string& path)
{
    return "Cannot open file " + path;
}

std::string IoErrorMessage(int errnum)
{
    switch (errnum) {
    case ENOENT:
    case ENOTDIR:
        return "File not found";
    case EINVAL:
    case ENAMETOOLONG:
    case EILSEQ:
        return "Invalid filename";
    case EMFILE:
    case ENFILE:
        return "Too many open files";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return "File access denied";
    case ENOSPC:
    case EFBIG:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(errnum);
    }
}

}  // namespace files
