#include "files/atomic_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "helpers/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using test_support::TempFolder;

// The names in the folder: no temporary may be left behind.
std::vector<std::string> Names(const TempFolder& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Folder()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, ReplacesWholeAndKeepsPermissions)
{
    TempFolder dir;
    dir.Write("a.csv", "old");
    fs::permissions(dir / "a.csv", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(files::WriteFileWhole(dir / "a.csv", "new bytes"), 0);
    EXPECT_EQ(dir.Read("a.csv"), "new bytes");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"a.csv"});
#ifndef _WIN32
    EXPECT_EQ(fs::status(dir / "a.csv").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
}

TEST(AtomicFile, FailuresLeaveWhatWasThere)
{
    TempFolder dir;
    dir.Write("ro.csv", "old protocol");
    fs::permissions(dir / "ro.csv", fs::perms::owner_read);
    EXPECT_EQ(files::WriteFileWhole(dir / "ro.csv", "new"), EACCES);
    EXPECT_EQ(dir.Read("ro.csv"), "old protocol");

    dir.Write("taken.svk", "first");
    EXPECT_EQ(files::WriteNewFileWhole(dir / "taken.svk", "second"), EEXIST);
    EXPECT_EQ(dir.Read("taken.svk"), "first");
    EXPECT_EQ(files::WriteNewFileWhole(dir / "free.svk", "third"), 0);
    EXPECT_EQ(dir.Read("free.svk"), "third");

    EXPECT_NE(files::WriteFileWhole(dir / "no such folder/x.csv", "x"), 0);
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"free.svk", "ro.csv", "taken.svk"}));
}

TEST(AtomicFile, TemporaryStepForOtherWriters)
{
    TempFolder dir;
    dir.Write("p.pdf", "old");
    const std::string temporary = files::TemporaryPathBeside(dir / "p.pdf");
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(fs::path(temporary).parent_path(), fs::path(dir / "p.pdf").parent_path());
    std::ofstream(temporary, std::ios::binary) << "new";
    EXPECT_EQ(files::ReplaceWithTemporary(temporary, dir / "p.pdf"), 0);
    EXPECT_EQ(dir.Read("p.pdf"), "new");

    fs::permissions(dir / "p.pdf", fs::perms::owner_read);
    std::ofstream(temporary, std::ios::binary) << "newer";
    EXPECT_EQ(files::ReplaceWithTemporary(temporary, dir / "p.pdf"), EACCES);
    EXPECT_EQ(dir.Read("p.pdf"), "new");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"p.pdf"});
}

}  // namespace
