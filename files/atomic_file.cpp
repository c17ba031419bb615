#include "files/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>

#include "files/platform.h"
#include "serial/system_text.h"

namespace files {

namespace {

// The temporary file, created beside `path` under a name no file has.
platform::FilePtr CreateTemporary(const std::string& path, std::string& temporary)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".~" + std::to_string(stamp % 1000000007ULL) + "-" + std::to_string(counter++) + ".tmp";
        if (auto file = platform::CreateNewFile(temporary))
            return file;
        if (errno != EEXIST)
            return nullptr;
    }
    errno = EEXIST;
    return nullptr;
}

int Write(const std::string& path, std::string_view bytes, bool replace)
{
    std::string temporary;
    platform::FilePtr file = CreateTemporary(path, temporary);
    if (!file)
        return errno != 0 ? errno : EIO;
    errno = 0;
    int error = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        error = errno != 0 ? errno : EIO;
    if (error == 0)
        error = platform::SyncFile(file.get());
    if (const int closed = platform::WriteAndClose(std::move(file), {}); error == 0)
        error = closed;
    if (error == 0)
        error = platform::RenameFile(temporary, path, replace);
    if (error != 0)
        platform::RemoveFile(temporary);
    return error;
}

}  // namespace

int WriteFileWhole(const std::string& path, std::string_view bytes)
{
    return Write(path, bytes, true);
}

int WriteNewFileWhole(const std::string& path, std::string_view bytes)
{
    return Write(path, bytes, false);
}

std::string TemporaryPathBeside(const std::string& path)
{
    std::string temporary;
    if (auto file = CreateTemporary(path, temporary)) {
        file.reset();
        platform::RemoveFile(temporary);
        return temporary;
    }
    return path + ".~new.tmp";
}

int ReplaceWithTemporary(const std::string& temporary, const std::string& path)
{
    const int error = platform::RenameFile(temporary, path, true);
    if (error != 0)
        platform::RemoveFile(temporary);
    return error;
}

std::string SystemErrorText(int errnum)
{
    return serial::ErrnoText(errnum);
}

}  // namespace files
