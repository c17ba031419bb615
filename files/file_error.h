#pragma once
// Errors of the data-file operations. The message is the text the window
// shows in its error box as it stands.

#include <stdexcept>
#include <string>
#include <vector>

namespace files {

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text to be written holds characters that code page 1251 has no byte for.
// Raised before the file is created, so nothing on disk changes.
class EncodingError : public FileError {
public:
    // `characters`: each offending character once, UTF-8, in order of appearance.
    explicit EncodingError(std::vector<std::string> characters);
    const std::vector<std::string>& characters() const { return characters_; }

private:
    std::vector<std::string> characters_;
};

// "Cannot create file %s" and "Cannot open file %s" with the path filled in.
std::string CannotCreateMessage(const std::string& path);
std::string CannotOpenMessage(const std::string& path);

// The one message of a save that failed, naming the file and the reason in
// Russian (the system's own text for rarer reasons): "Файл <path> не сохранён:
// на диске нет места." What the file held before stays as it was.
std::string SaveFailedMessage(const std::string& path, int code);

}  // namespace files
