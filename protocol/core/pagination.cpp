#include "protocol/core/pagination.h"

#include <algorithm>

namespace protocol {

namespace {

double HeightOf(DigestLine::Kind kind, const DigestMeasures& m)
{
    return kind == DigestLine::Section ? m.section : kind == DigestLine::Head ? m.head : m.file;
}

// The appendix: for each survey its title, the head and a line per file; a
// page that goes on with a survey's files repeats the head.
std::vector<std::vector<DigestLine>> PaginateDigests(const DigestMeasures& m, double bottom, int beforeCount,
                                                     int afterCount)
{
    std::vector<std::vector<DigestLine>> pages(1);
    double y = m.firstTop;
    const auto add = [&](DigestLine::Kind kind, bool after, int row, double need) {
        if (y + need > bottom && !pages.back().empty()) {
            pages.emplace_back();
            y = m.top;
            if (kind == DigestLine::File) {
                pages.back().push_back({DigestLine::Head, after, -1, y});
                y += m.head;
            }
        }
        pages.back().push_back({kind, after, row, y});
        y += HeightOf(kind, m);
    };
    for (const bool after : {false, true}) {
        const int count = after ? afterCount : beforeCount;
        // A survey's title is not left at the foot of a page without its first file.
        add(DigestLine::Section, after, -1, m.section + m.head + m.file);
        add(DigestLine::Head, after, -1, m.head + m.file);
        for (int i = 0; i < count; ++i)
            add(DigestLine::File, after, i, m.file);
        y += m.gap;
    }
    return pages;
}

}  // namespace

PageRows SplitRows(int count, const ListPlacement& list, double bottom)
{
    PageRows pages;
    int at = 0;
    do {
        const double from = pages.empty() ? list.firstTop : list.top;
        const int fit = std::max(1, static_cast<int>((bottom - from) / list.row));
        const int end = std::min(count, at + fit);
        pages.emplace_back(at, end);
        at = end;
    } while (at < count);
    return pages;
}

ProtocolPages PaginateProtocol(const ProtocolPageMeasures& measures, int rowCount, int roomCount)
{
    ProtocolPages pages;
    pages.rows = SplitRows(rowCount, measures.rows, measures.bottom);
    if (roomCount > 0)
        pages.rooms = SplitRows(roomCount, measures.rooms, measures.bottom);
    pages.digests = SplitRows(rowCount, measures.digests, measures.bottom);
    return pages;
}

ComparisonPages PaginateComparison(const ComparisonPageMeasures& measures, int pointCount, int beforeCount,
                                   int afterCount, int roomCount)
{
    ComparisonPages pages;
    pages.rows = SplitRows(pointCount, measures.rows, measures.bottom);
    if (roomCount > 0)
        pages.rooms = SplitRows(roomCount, measures.rooms, measures.bottom);
    pages.digests = PaginateDigests(measures.digests, measures.bottom, beforeCount, afterCount);
    return pages;
}

}  // namespace protocol
