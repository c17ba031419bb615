#pragma once
// Writing a file whole or not at all: the bytes go to a temporary file beside
// the target, which is renamed onto the target only when all of it is on the
// disk. A failure leaves what was there as it was and no temporary behind.
// A target that is a symbolic link stays one: the file it leads to is replaced.

#include <string>
#include <string_view>

#include "files/platform.h"

namespace files {

// The codes of the failures (platform.h): EEXIST a taken name, EACCES a
// read-only target, kBrokenLink a link that leads nowhere; SystemErrorText
// gives the text of any of them.
using platform::kBrokenLink;

// Writes `bytes` to `path`, replacing an existing file but never a read-only
// one (EACCES). 0 on success, else the code of the failure.
int WriteFileWhole(const std::string& path, std::string_view bytes);

// Writes `bytes` to `path` only when no file of that name exists (EEXIST,
// decided at the rename, so two writers never both win). 0 or the code.
int WriteNewFileWhole(const std::string& path, std::string_view bytes);

// For a writer that must be handed an open file (a PDF writer, say): a new
// file beside `path`, created under a name no file had. Commit puts what was
// written into it onto `path`, on the disk first, with the rules of
// WriteFileWhole; a temporary file not committed is removed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& path);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Null when the file could not be made; then error() says why.
    std::FILE* get() const { return file_.get(); }
    int error() const { return error_; }
    // 0 or the code of the failure; the temporary file is gone either way.
    int Commit();

private:
    std::string target_;
    std::string temporary_;
    platform::FilePtr file_;
    int error_ = 0;
};

// The text for a code of the functions above, UTF-8, in the system's language
// ("Недостаточно места на диске." on a Russian Windows), or our own words
// where the system has none.
std::string SystemErrorText(int code);

}  // namespace files
