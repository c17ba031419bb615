#include <gtest/gtest.h>

#include <filesystem>

#include "files/comment_browser.h"
#include "files/svk_file.h"
#include "helpers/temp_folder.h"

namespace {

using files::CommentSearch;
using test_support::TempFolder;

std::string SvkWithComment(std::string_view comment)
{
    analysis::MeasurementRecord r;
    r.SampleCount = 400;
    return files::EncodeMeasurement(r, 400, comment);
}

TEST(CommentBrowser, GathersHeaderAndCommentLinesOfEachFile)
{
    TempFolder dir;
    dir.Write("a.svk", SvkWithComment("x\r\ny"));
    dir.Write("b.svk", SvkWithComment(""));
    const auto g = files::GatherComments(dir.Folder(), {"a.svk", "b.svk"});
    EXPECT_FALSE(g.error);
    EXPECT_EQ(g.lines, (std::vector<std::string>{"===a.svk:===", "x", "y", "===b.svk:==="}));
}

TEST(CommentBrowser, CommentsAreReadFromByte818AndCutAtZero)
{
    TempFolder dir;
    dir.Write("s.svk", std::string(600, 'q'));  // shorter than 818: header line only
    dir.Write("z.svk", SvkWithComment(std::string("\xCF\xF0\xE8\r\xE2\n\n\xE5\xF2\0hidden", 15)));
    const auto g = files::GatherComments(dir.Folder(), {"s.svk", "z.svk"});
    EXPECT_EQ(g.lines, (std::vector<std::string>{"===s.svk:===", "===z.svk:===", "При", "в", "", "ет"}));
}

TEST(CommentBrowser, AnUnreadableEntryStopsButKeepsEarlierBlocks)
{
    TempFolder dir;
    dir.Write("a.svk", SvkWithComment("x"));
    std::filesystem::create_directory(dir / "d.svk");
    dir.Write("c.svk", SvkWithComment("never"));
    const auto g = files::GatherComments(dir.Folder(), {"a.svk", "d.svk", "c.svk"});
    EXPECT_EQ(g.lines, (std::vector<std::string>{"===a.svk:===", "x"}));
    ASSERT_TRUE(g.error);
    EXPECT_EQ(*g.error, "Cannot open file " + (dir / "d.svk"));
    const auto missing = files::GatherComments(dir.Folder(), {"gone.svk"});
    EXPECT_TRUE(missing.lines.empty());
    EXPECT_EQ(*missing.error, "Cannot open file " + (dir / "gone.svk"));
}

TEST(CommentBrowser, SplitLinesLikeTheTextBox)
{
    EXPECT_TRUE(files::SplitLines("").empty());
    EXPECT_EQ(files::SplitLines("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(files::SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(files::SplitLines("a\rb\nc\r\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(CommentSearch, ThreeHitsThenNothingThenTheFirstAgain)
{
    // Line breaks count two: "лампа" at 0, after "лампа\r\n" + "и " at 9, ...
    const std::string text = "лампа\nи лампа\nлампа";
    CommentSearch s;
    std::vector<int> starts;
    std::vector<int> plain;
    for (int i = 0; i < 3; ++i) {
        const auto hit = s.FindNext(text, "лампа");
        ASSERT_TRUE(hit) << i;
        EXPECT_EQ(hit->length, 5);
        starts.push_back(hit->start);
        plain.push_back(hit->plainStart);
    }
    EXPECT_EQ(starts, (std::vector<int>{0, 9, 16}));
    EXPECT_EQ(plain, (std::vector<int>{0, 8, 14}));
    EXPECT_FALSE(s.FindNext(text, "лампа"));
    EXPECT_TRUE(s.SearchRemainder().empty());
    EXPECT_EQ(s.FindNext(text, "лампа")->start, 0);
}

TEST(CommentSearch, StateMovesTwoUnitsPastEachHit)
{
    CommentSearch s;
    // "xx": the first hit, then the second x is skipped.
    const auto first = s.FindNext("a xx b x", "x");
    EXPECT_EQ(first->start, 2);
    EXPECT_EQ(s.SearchOffset(), 4);
    EXPECT_EQ(s.SearchRemainder(), u" b x");
    EXPECT_EQ(s.FindNext("a xx b x", "x")->start, 7);
    // A hit at the very end leaves nothing to search: the next starts at the top.
    EXPECT_TRUE(s.SearchRemainder().empty());
    EXPECT_EQ(s.FindNext("a xx b x", "x")->start, 2);
}

TEST(CommentSearch, CaseSensitiveAndEmptyWord)
{
    CommentSearch s;
    EXPECT_FALSE(s.FindNext("лампа Lamp", "ЛАМПА"));
    EXPECT_FALSE(s.FindNext("лампа Lamp", "lamp"));
    EXPECT_EQ(s.FindNext("лампа Lamp", "Lamp")->start, 6);
    EXPECT_FALSE(s.FindNext("лампа", ""));
}

TEST(CommentSearch, NewWordOrNewTextStartsAtTheTop)
{
    CommentSearch s;
    EXPECT_EQ(s.FindNext("ab ab", "ab")->start, 0);
    EXPECT_EQ(s.FindNext("ab ab", "b")->start, 1);
    EXPECT_EQ(s.FindNext("ab ab", "b")->start, 4);
    EXPECT_EQ(s.FindNext("b ab ab", "b")->start, 0);
    // Break forms of the box do not count as a new text.
    EXPECT_EQ(s.FindNext("x\ny x", "x")->start, 0);
    EXPECT_EQ(s.FindNext("x\r\ny x", "x")->start, 5);
}

TEST(CommentBrowser, FileNameFromTheCaretUpward)
{
    const std::vector<std::string> lines{"===a.svk:===",   "x", "y",           "===b.svk:===", "c1", "c2",
                                         "===Odd.Svk:===", "z", "===Ц.SVK:==="};
    EXPECT_EQ(files::FileNameAtLine(lines, 1), "a.svk");
    EXPECT_EQ(files::FileNameAtLine(lines, 0), "a.svk");
    EXPECT_EQ(files::FileNameAtLine(lines, 3), "b.svk");
    EXPECT_EQ(files::FileNameAtLine(lines, 5), "b.svk");
    // ".Svk" is not a header: the walk goes past it to b.svk.
    EXPECT_EQ(files::FileNameAtLine(lines, 6), "b.svk");
    EXPECT_EQ(files::FileNameAtLine(lines, 7), "b.svk");
    EXPECT_EQ(files::FileNameAtLine(lines, 8), "Ц.SVK");
    EXPECT_EQ(files::FileNameAtLine(lines, 99), "Ц.SVK");
    EXPECT_FALSE(files::FileNameAtLine({}, 0));
    EXPECT_FALSE(files::FileNameAtLine({"no header", "x"}, 1));
    EXPECT_FALSE(files::FileNameAtLine(lines, -1));
}

}  // namespace
