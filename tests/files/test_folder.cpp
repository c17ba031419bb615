#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "files/folder.h"
#include "helpers/temp_folder.h"

namespace {

using files::FolderStep;
using files::StepKind;
using test_support::TempFolder;

const std::vector<std::string> kABC{"A.svk", "B.svk", "C.svk"};

TEST(FolderListing, DecisionsOverAListing)
{
    EXPECT_EQ(files::NextInListing(kABC, "B.svk").name, "C.svk");
    EXPECT_EQ(files::PreviousInListing(kABC, "B.svk").name, "A.svk");
    EXPECT_EQ(files::NextInListing(kABC, "A.svk").kind, StepKind::Open);
    EXPECT_EQ(files::NextInListing(kABC, "C.svk").kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::PreviousInListing(kABC, "A.svk").kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::PreviousInListing(kABC, "C.svk").name, "B.svk");
    // A single file: no step either way.
    EXPECT_EQ(files::NextInListing({"A.svk"}, "A.svk").kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::PreviousInListing({"A.svk"}, "A.svk").kind, StepKind::NoMoreFiles);
    // The current file missing (deleted, or differing in case only): forward
    // reports it, backward does nothing.
    for (const char* missing : {"D.svk", "b.svk", "B.SVK", ""}) {
        EXPECT_EQ(files::NextInListing(kABC, missing).kind, StepKind::NoMoreFiles) << missing;
        EXPECT_EQ(files::PreviousInListing(kABC, missing).kind, StepKind::Nothing) << missing;
    }
    EXPECT_EQ(files::NextInListing({}, "A.svk").kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::PreviousInListing({}, "A.svk").kind, StepKind::Nothing);
}

TEST(FolderListing, SplitsAtTheLastSlash)
{
    EXPECT_EQ(files::SplitPath("/data/svk/m1.svk").folder, "/data/svk/");
    EXPECT_EQ(files::SplitPath("/data/svk/m1.svk").name, "m1.svk");
    EXPECT_EQ(files::SplitPath("m1.svk").folder, "");
    EXPECT_EQ(files::SplitPath("dir/").name, "");
    EXPECT_EQ(files::FolderPart(""), "");
}

TEST(FolderListing, PatternIgnoresCaseOfTheExtensionOnly)
{
    for (const char* yes : {"a.svk", "a.SVK", "a.Svk", ".svk", "x.y.svk", "Измерение 1.svk"})
        EXPECT_TRUE(files::MatchesSvkPattern(yes)) << yes;
    for (const char* no : {"a.svk.bak", "a.sv", "asvk", "a.txt", "svk", ""})
        EXPECT_FALSE(files::MatchesSvkPattern(no)) << no;
}

TEST(FolderListing, ListsSvkEntriesOfARealFolder)
{
    TempFolder dir;
    for (const char* name : {"A.svk", "B.SVK", "c.txt", "D.svk.old"})
        dir.Write(name, "x");
    std::filesystem::create_directory(dir / "E.svk");
    auto listing = files::ListSvkEntries(dir.Folder());
    std::sort(listing.begin(), listing.end());
    EXPECT_EQ(listing, (std::vector<std::string>{"A.svk", "B.SVK", "E.svk"}));
    EXPECT_TRUE(files::ListSvkEntries(dir / "missing/").empty());
}

TEST(FolderListing, SteppingThroughARealFolder)
{
    TempFolder dir;
    for (const char* name : {"A.svk", "B.svk", "C.svk"})
        dir.Write(name, "x");
    // The order is the file system's own; step along whatever it is.
    const auto order = files::ListSvkEntries(dir.Folder());
    ASSERT_EQ(order.size(), 3u);
    const FolderStep next = files::StepToNextFile(dir / order[1]);
    EXPECT_EQ(next.kind, StepKind::Open);
    EXPECT_EQ(next.name, order[2]);
    EXPECT_EQ(next.path, dir / order[2]);
    const FolderStep prev = files::StepToPreviousFile(dir / order[1]);
    EXPECT_EQ(prev.path, dir / order[0]);
    EXPECT_EQ(files::StepToNextFile(dir / order[2]).kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::StepToPreviousFile(dir / order[0]).kind, StepKind::NoMoreFiles);

    // The current file deleted after it was opened.
    std::filesystem::remove(dir / order[1]);
    EXPECT_EQ(files::StepToNextFile(dir / order[1]).kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::StepToPreviousFile(dir / order[1]).kind, StepKind::Nothing);

    // Only the case of the name differs from the entry.
    std::string upper = order[0];
    upper[0] = static_cast<char>(upper[0] ^ 0x20);
    EXPECT_EQ(files::StepToNextFile(dir / upper).kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::StepToPreviousFile(dir / upper).kind, StepKind::Nothing);
}

TEST(FolderListing, SingleFileAndVanishedFolder)
{
    TempFolder dir;
    dir.Write("only.svk", "x");
    EXPECT_EQ(files::StepToNextFile(dir / "only.svk").kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::StepToPreviousFile(dir / "only.svk").kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::StepToNextFile(dir / "gone/only.svk").kind, StepKind::NoMoreFiles);
    EXPECT_EQ(files::StepToPreviousFile(dir / "gone/only.svk").kind, StepKind::Nothing);
}

}  // namespace
