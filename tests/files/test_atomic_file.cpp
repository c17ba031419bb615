#include "files/atomic_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "files/file_error.h"
#include "helpers/temp_folder.h"
#include "systext/system_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

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

TEST(AtomicFile, NamesNearTheSystemsLimit)
{
    // A name of 240 characters (255 is the limit): its temporary must still fit,
    // and a taken one is refused before anything is written.
    TempFolder dir;
    const std::string name = std::string(236, 'n') + ".svk";
    EXPECT_EQ(files::WriteFileWhole(dir / name, ""), 0);
    EXPECT_EQ(dir.Read(name), "");
    EXPECT_EQ(files::WriteNewFileWhole(dir / name, "second"), EEXIST);
    EXPECT_EQ(files::WriteFileWhole(dir / name, "third"), 0);
    EXPECT_EQ(dir.Read(name), "third");
    EXPECT_EQ(Names(dir), std::vector<std::string>{name});
}

TEST(AtomicFile, TemporaryFileForOtherWriters)
{
    TempFolder dir;
    dir.Write("p.pdf", "old");
    {
        files::TemporaryFile file(dir / "p.pdf");
        ASSERT_NE(file.get(), nullptr);
        std::fputs("new", file.get());
        EXPECT_EQ(file.Commit(), 0);
    }
    EXPECT_EQ(dir.Read("p.pdf"), "new");
    {
        files::TemporaryFile dropped(dir / "p.pdf");
        std::fputs("half", dropped.get());
    }
    EXPECT_EQ(dir.Read("p.pdf"), "new");

    fs::permissions(dir / "p.pdf", fs::perms::owner_read);
    files::TemporaryFile refused(dir / "p.pdf");
    std::fputs("newer", refused.get());
    EXPECT_EQ(refused.Commit(), EACCES);
    EXPECT_EQ(dir.Read("p.pdf"), "new");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"p.pdf"});

    const files::TemporaryFile nowhere(dir / "no such folder/p.pdf");
    EXPECT_EQ(nowhere.get(), nullptr);
    EXPECT_NE(nowhere.error(), 0);
}

#ifndef _WIN32
// Saves through symbolic links: the file the link leads to is replaced, beside
// itself and with its own permissions; the link stays.
TEST(AtomicFile, SavesThroughLinks)
{
    TempFolder dir;
    fs::create_directories(dir.Path() / "real");
    dir.Write("real/a.csv", "old");
    fs::permissions(dir / "real/a.csv", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real/a.csv", dir / "a.csv");
    fs::create_symlink("a.csv", dir / "chain.csv");
    dir.Write("real/p.pdf", "old");
    fs::create_symlink("real/p.pdf", dir / "p.pdf");

    EXPECT_EQ(files::WriteFileWhole(dir / "a.csv", "through the link"), 0);
    EXPECT_EQ(dir.Read("real/a.csv"), "through the link");
    EXPECT_EQ(files::WriteFileWhole(dir / "chain.csv", "through two"), 0);
    EXPECT_EQ(dir.Read("real/a.csv"), "through two");
    files::TemporaryFile pdf(dir / "p.pdf");
    std::fputs("pdf", pdf.get());
    EXPECT_EQ(pdf.Commit(), 0);
    EXPECT_EQ(dir.Read("real/p.pdf"), "pdf");

    EXPECT_TRUE(fs::is_symlink(dir / "a.csv"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.csv"));
    EXPECT_TRUE(fs::is_symlink(dir / "p.pdf"));
    EXPECT_EQ(fs::status(dir / "real/a.csv").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Names(dir), (std::vector<std::string>{"a.csv", "chain.csv", "p.pdf", "real"}));

    // A link that leads nowhere is refused with a reason of its own, and stays.
    fs::create_symlink("real/gone.csv", dir / "dangling.csv");
    const int error = files::WriteFileWhole(dir / "dangling.csv", "x");
    EXPECT_EQ(error, files::kBrokenLink);
    EXPECT_EQ(files::SaveFailedMessage("d.csv", error), "Файл d.csv не сохранён: ссылка ведёт к файлу, которого нет.");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.csv"));
    EXPECT_FALSE(fs::exists(dir / "real/gone.csv"));
    EXPECT_EQ(files::WriteNewFileWhole(dir / "dangling.csv", "x"), EEXIST);
}
#else
// The reasons are the system's own texts, in its language: a file open in
// another program without sharing (a spreadsheet), a full disk.
TEST(AtomicFile, ReasonsInTheSystemsWords)
{
    TempFolder dir;
    dir.Write("held.csv", "old");
    HANDLE held = CreateFileW((dir.Path() / "held.csv").wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const int error = files::WriteFileWhole(dir / "held.csv", "new");
    CloseHandle(held);
    EXPECT_EQ(dir.Read("held.csv"), "old");
    ASSERT_GE(error, files::platform::kSystemCode);
    EXPECT_EQ(files::SystemErrorText(error), systext::SystemErrorText(error - files::platform::kSystemCode));
    EXPECT_EQ(files::SaveFailedMessage("held.csv", error),
              "Файл held.csv не сохранён: файл открыт в другой программе.");

    const std::string full = systext::SystemErrorText(ERROR_DISK_FULL);
    EXPECT_EQ(files::SystemErrorText(files::platform::kSystemCode + ERROR_DISK_FULL), full);
    EXPECT_EQ(files::SystemErrorText(ENOSPC), full);
    EXPECT_EQ(files::SaveFailedMessage("e.txt", files::platform::kSystemCode + ERROR_DISK_FULL),
              "Файл e.txt не сохранён: на диске нет места.");
}
#endif

}  // namespace
