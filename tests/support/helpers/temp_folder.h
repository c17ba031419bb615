#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace test_support {

class TempFolder {
public:
    TempFolder()
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("sovikan-files-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder part with its trailing separator.
    std::string Folder() const { return path_.string() + "/"; }
    std::string operator/(const std::string& name) const { return Folder() + name; }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Child(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(Child(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    // Names are UTF-8, as the program's own file code takes them, on Windows too
    // (where a plain string would be read in the ANSI code page).
    std::filesystem::path Child(const std::string& name) const
    {
        return path_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
    }

    std::filesystem::path path_;
};

}  // namespace test_support
