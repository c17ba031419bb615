#pragma once
// What the fuzz targets share: a check that stops the run at the input that
// broke it, and a scratch folder of the process's own, removed at exit.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

inline void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// "<temporary folder>/<name>.XXXXXX", made at the first call; one per process.
inline const std::filesystem::path& ScratchFolder(const char* name = "")
{
    static const std::filesystem::path folder = [name] {
        std::string p = (std::filesystem::temp_directory_path() / (std::string(name) + ".XXXXXX")).string();
        Require(::mkdtemp(p.data()) != nullptr);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(ScratchFolder(), ec);
        });
        return std::filesystem::path(p);
    }();
    return folder;
}

}  // namespace fuzz
