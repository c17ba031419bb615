#pragma once
// Writing a file whole or not at all: the bytes go to a temporary file beside
// the target, which is renamed onto the target only when all of it is on the
// disk. A failure leaves what was there as it was and no temporary behind.

#include <string>
#include <string_view>

namespace files {

// Writes `bytes` to `path`, replacing an existing file but never a read-only
// one (EACCES). 0 on success, else the errno value of the failure.
int WriteFileWhole(const std::string& path, std::string_view bytes);

// Writes `bytes` to `path` only when no file of that name exists (EEXIST,
// decided at the rename, so two writers never both win). 0 or the errno.
int WriteNewFileWhole(const std::string& path, std::string_view bytes);

// For a writer that must be given a path of its own (a PDF writer, say): a
// name beside `path` that no file has, and the step that puts the file
// written there onto `path` with the same rules as WriteFileWhole. The
// temporary file is removed when the step fails.
std::string TemporaryPathBeside(const std::string& path);
int ReplaceWithTemporary(const std::string& temporary, const std::string& path);

// The system's text for an errno value, UTF-8 ("Нет места на устройстве" on
// a Russian system).
std::string SystemErrorText(int errnum);

}  // namespace files
