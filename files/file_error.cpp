#include "files/file_error.h"

#include <cerrno>

#include "files/atomic_file.h"

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
    : FileError("В тексте есть знаки, которых нет в кодировке Windows-1251: " + JoinCharacters(characters) +
                ". Файл не записан."),
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

std::string SaveFailedMessage(const std::string& path, int code)
{
    std::string reason;
    switch (platform::ErrnoOf(code)) {
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT
    case EDQUOT:
#endif
        reason = "на диске нет места";
        break;
    case EACCES:
    case EPERM:
        reason = "файл только для чтения или в эту папку нельзя писать";
        break;
    case EROFS:
        reason = "диск только для чтения";
        break;
    case ENOENT:
    case ENOTDIR:
        reason = "нет такой папки";
        break;
    case EINVAL:
    case ENAMETOOLONG:
    case EILSEQ:
        reason = "недопустимое имя файла";
        break;
    case EISDIR:
        reason = "под этим именем есть папка";
        break;
    case EBUSY:
        reason = "файл открыт в другой программе";
        break;
    default:
        reason = SystemErrorText(code);
        break;
    }
    return "Файл " + path + " не сохранён: " + reason + ".";
}

}  // namespace files
