#include "files/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>

#include "files/folder.h"

namespace files {

namespace {

// The temporary file, created in the folder of `path` under a name no file
// has; the name is short, so that a target near the system's limit on a path
// still leaves room for it.
platform::FilePtr CreateTemporary(const std::string& path, std::string& temporary, int& error)
{
    static std::atomic<unsigned long long> counter{0};
    const std::string folder = FolderPart(path);
    const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long tag = (stamp + counter++ * 0x9E3779B97F4A7C15ULL) % 2821109907456ULL;  // 36^8
        std::string name(8, '0');
        for (char& c : name) {
            c = "0123456789abcdefghijklmnopqrstuvwxyz"[tag % 36];
            tag /= 36;
        }
        temporary = folder + ".~" + name + ".tmp";
        if (auto file = platform::CreateNewFile(temporary, error))
            return file;
        if (error != EEXIST)
            return nullptr;
    }
    return nullptr;
}

// Puts the written temporary file onto `target`: on the disk, closed, renamed;
// removed when any step fails.
int Finish(platform::FilePtr file, const std::string& temporary, const std::string& target, bool replace, int error)
{
    if (error == 0)
        error = platform::SyncFile(file.get());
    if (const int closed = platform::CloseFile(std::move(file)); error == 0)
        error = closed;
    if (error == 0)
        error = platform::RenameFile(temporary, target, replace);
    if (error != 0)
        platform::RemoveFile(temporary);
    return error;
}

int Write(const std::string& path, std::string_view bytes, bool replace)
{
    std::string target = path;
    if (replace) {
        if (const int error = platform::LinkTarget(path, target))
            return error;
    } else if (platform::NameTaken(path)) {
        // A taken name costs no write; a writer in between is still caught at the rename.
        return EEXIST;
    }
    std::string temporary;
    int error = 0;
    platform::FilePtr file = CreateTemporary(target, temporary, error);
    if (!file)
        return error;
    // Nothing to write is no call: an empty view's data may be null, which fwrite must not get.
    platform::ClearFileError();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        error = platform::LastFileError();
    return Finish(std::move(file), temporary, target, replace, error);
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

TemporaryFile::TemporaryFile(const std::string& path)
{
    if ((error_ = platform::LinkTarget(path, target_)) == 0)
        file_ = CreateTemporary(target_, temporary_, error_);
}

TemporaryFile::~TemporaryFile()
{
    if (file_) {
        file_.reset();
        platform::RemoveFile(temporary_);
    }
}

int TemporaryFile::Commit()
{
    if (!file_)
        return error_ != 0 ? error_ : EINVAL;
    return Finish(std::move(file_), temporary_, target_, true, 0);
}

std::string SystemErrorText(int code)
{
    if (code == kBrokenLink)
        return "ссылка ведёт к файлу, которого нет";
    return platform::SystemText(code);
}

}  // namespace files
