#include <gtest/gtest.h>

#include <string>

#include "protocol/core/pagination.h"

namespace {

using protocol::PageRows;

TEST(Pagination, RowsFillEachPageDownToItsFoot)
{
    // The list's first page starts lower (under the header); a row taller than
    // a page still gets one page of its own.
    struct Case {
        int count;
        protocol::ListPlacement list;
        PageRows pages;
    } const cases[] = {
        {0, {10, 0, 10}, {{0, 0}}},           {9, {10, 0, 10}, {{0, 9}}},
        {10, {10, 0, 10}, {{0, 9}, {9, 10}}}, {25, {10, 0, 10}, {{0, 9}, {9, 19}, {19, 25}}},
        {2, {10, 0, 200}, {{0, 1}, {1, 2}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(protocol::SplitRows(c.count, c.list, 100), c.pages) << c.count;
}

TEST(Pagination, TheProtocolsRoomsHaveNoPageWithoutRooms)
{
    const protocol::ProtocolPageMeasures m{100, {10, 0, 10}, {0, 0, 50}, {0, 0, 25}};
    const auto withRooms = protocol::PaginateProtocol(m, 10, 3);
    EXPECT_EQ(withRooms.rooms, (PageRows{{0, 2}, {2, 3}}));
    EXPECT_EQ(withRooms.Summary(), 4);
    EXPECT_EQ(withRooms.Count(), 8);  // 2 of the table, 2 of the rooms, the summary, 3 of the appendix
    const auto without = protocol::PaginateProtocol(m, 10, 0);
    EXPECT_TRUE(without.rooms.empty());
    EXPECT_EQ(without.Count(), 6);
}

// Each page of the comparison's appendix as its lines at their tops: S and H
// a survey's title and head, a number a file; ' marks the survey "after".
std::string Lines(const protocol::ComparisonPages& pages)
{
    std::string out;
    for (const auto& page : pages.digests) {
        out += out.empty() ? "" : " |";
        for (const protocol::DigestLine& line : page) {
            const std::string text = line.kind == protocol::DigestLine::File      ? std::to_string(line.row)
                                     : line.kind == protocol::DigestLine::Section ? "S"
                                                                                  : "H";
            out += " " + text + (line.after ? "'" : "") + "@" + std::to_string(static_cast<int>(line.y));
        }
    }
    return out;
}

TEST(Pagination, TheComparisonsAppendixRepeatsTheHeadAndKeepsATitleWithItsFirstFile)
{
    const protocol::ComparisonPageMeasures m{50, {0, 0, 10}, {0, 0, 10}, {0, 0, 10, 10, 10, 0}};
    const auto pages = protocol::PaginateComparison(m, 5, 5, 1, 2);
    EXPECT_EQ(Lines(pages), " S@0 H@10 0@20 1@30 2@40 | H@0 3@10 4@20 | S'@0 H'@10 0'@20");
    EXPECT_EQ(pages.Rooms(), 2);
    EXPECT_EQ(pages.Digests(), 3);
    EXPECT_EQ(pages.Count(), 6);
}

}  // namespace
