#pragma once
// How the papers' lists go over their pages: which rows each page holds and
// how many pages each part takes. Plain arithmetic on the lengths the papers
// give (they draw in units of 1/96 inch).

#include <utility>
#include <vector>

namespace protocol {

// Rows of a list split over pages: per page its first and end row.
using PageRows = std::vector<std::pair<int, int>>;

// Where a list's rows go: the top of its first row on the list's first page
// and on the pages after, and the height of a row.
struct ListPlacement {
    double firstTop = 0;
    double top = 0;
    double row = 0;
};

// `count` rows down to `bottom`: at least one row a page, and one (empty)
// page for no rows.
PageRows SplitRows(int count, const ListPlacement& list, double bottom);

// The protocol: the table's pages, the rooms' pages, the summary page with
// the notes and signatures, then the appendix.
struct ProtocolPages {
    PageRows rows;     // the points' table
    PageRows rooms;    // the rooms' table; none without rooms
    PageRows digests;  // the appendix
    int Summary() const { return static_cast<int>(rows.size() + rooms.size()); }
    int Count() const { return Summary() + 1 + static_cast<int>(digests.size()); }
};

struct ProtocolPageMeasures {
    double bottom = 0;  // the foot of a page's lists
    ListPlacement rows, rooms, digests;
};

ProtocolPages PaginateProtocol(const ProtocolPageMeasures& measures, int rowCount, int roomCount);

// One line of the comparison's appendix: a survey's title, the table's head,
// or a file, at its top on its page.
struct DigestLine {
    enum Kind { Section, Head, File } kind;
    bool after;
    int row;  // a file's index into its survey's rows
    double y;
};

// The heights of the comparison's appendix.
struct DigestMeasures {
    double firstTop = 0;  // the first line on the appendix's first page
    double top = 0;       // the first line on the pages after
    double section = 0;   // a survey's title
    double head = 0;      // the table's head
    double file = 0;      // a file's line
    double gap = 0;       // after a survey's files
};

// The comparison: the table's pages, the summary with the notes, the rooms'
// pages, then the appendix.
struct ComparisonPages {
    PageRows rows;   // the comparison table
    PageRows rooms;  // none without rooms
    std::vector<std::vector<DigestLine>> digests;
    int Summary() const { return static_cast<int>(rows.size()); }
    int Rooms() const { return Summary() + 1; }
    int Digests() const { return Rooms() + static_cast<int>(rooms.size()); }
    int Count() const { return Digests() + static_cast<int>(digests.size()); }
};

struct ComparisonPageMeasures {
    double bottom = 0;
    ListPlacement rows, rooms;
    DigestMeasures digests;
};

ComparisonPages PaginateComparison(const ComparisonPageMeasures& measures, int pointCount, int beforeCount,
                                   int afterCount, int roomCount);

}  // namespace protocol
