// Inputs the fuzz targets of fuzz/ turned up, kept as regular tests.
#include <gtest/gtest.h>

#include "files/comment_browser.h"

namespace {

// A hit on the last character of the browser text leaves nothing to search,
// so the next press starts at the top and finds the same hit again: the
// search cycles instead of reporting "not found" in between.
TEST(FuzzRegressions, SearchHitAtTheVeryEndStartsAgainAtTheTop)
{
    const std::string text = files::JoinLines({"===d d.svk:===", "\\"});
    files::CommentSearch search;
    for (int press = 0; press < 3; ++press) {
        const auto hit = search.FindNext(text, "\\");
        ASSERT_TRUE(hit) << press;
        EXPECT_EQ(hit->start, 16);
        EXPECT_EQ(hit->plainStart, 15);
        EXPECT_TRUE(search.SearchRemainder().empty());
    }
}

}  // namespace
