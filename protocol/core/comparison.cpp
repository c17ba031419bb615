#include "protocol/core/comparison.h"

#include <cmath>
#include <map>
#include <utility>

#include "analysis/flicker.h"
#include "protocol/core/protocol.h"

namespace protocol {

namespace {

constexpr const char* kChangeTexts[kChangeCount] = {
    "стало соответствовать", "перестало соответствовать", "без изменений", "только до", "только после", analysis::kNone,
};

constexpr ColumnInfo kCompareInfo[kCompareColumnCount] = {
    {"Помещение", false}, {"Место", false},       {"E до, лк", true},    {"E после, лк", true},
    {"ΔE, %", true},      {"Кп до, %", true},     {"Кп после, %", true}, {"ΔКп, п.п.", true},
    {"Вывод до", false},  {"Вывод после", false}, {"Изменение", false},
};

constexpr const char* kCompareRoomTitles[kCompareRoomColumnCount] = {
    "Помещение", "Eср до, лк", "Eср после, лк", "Кп max до, %", "Кп max после, %",
};

// A delta as shown, one decimal: rounded first, so that a change too small to
// show reads "0,0" rather than "-0,0".
std::optional<double> Shown(double delta)
{
    return std::round(delta * 10.0) / 10.0 + 0.0;
}

// Kп as the protocol shows it, in percent (one decimal).
double ShownPulsation(const ProtocolRow& row)
{
    return static_cast<double>(row.metrics.pulsationThousandths) / 10.0;
}

using Key = std::pair<std::string, std::string>;  // room, place

Key KeyOf(const ProtocolRow& row)
{
    return {MatchKey(row.room), MatchKey(row.place)};
}

ComparedPoint Paired(const Comparison& c, int before, int after)
{
    ComparedPoint p;
    p.before = before;
    p.after = after;
    if (before < 0 || after < 0) {
        p.change = before < 0 ? Change::OnlyAfter : Change::OnlyBefore;
        return p;
    }
    const ProtocolRow& b = c.before[static_cast<std::size_t>(before)];
    const ProtocolRow& a = c.after[static_cast<std::size_t>(after)];
    if (b.Usable() && a.Usable()) {
        const double eBefore = b.ShownIlluminance();
        if (eBefore > 0.0)
            p.illuminanceDelta = Shown((a.ShownIlluminance() - eBefore) / eBefore * 100.0);
        p.pulsationDelta = Shown(ShownPulsation(a) - ShownPulsation(b));
    }
    const bool judged = b.verdict != Verdict::Unusable && a.verdict != Verdict::Unusable;
    if (!judged)
        p.change = Change::NotCompared;
    else if (b.verdict == a.verdict)
        p.change = Change::Unchanged;
    else
        p.change = a.verdict == Verdict::Complies ? Change::NowComplies : Change::NoLongerComplies;
    return p;
}

}  // namespace

const char* ChangeText(Change change)
{
    return kChangeTexts[static_cast<std::size_t>(change)];
}

std::string MatchKey(const std::string& text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r'))
        --end;
    std::string key;
    key.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            key += static_cast<char>(c - 'A' + 'a');
            continue;
        }
        // Cyrillic letters are two bytes in UTF-8: D0 80..BF and D1 80..9F.
        if ((c == 0xD0 || c == 0xD1) && i + 1 < end) {
            const auto d = static_cast<unsigned char>(text[i + 1]);
            unsigned code = ((c & 0x1Fu) << 6) | (d & 0x3Fu);
            if (code >= 0x410 && code <= 0x42F)  // А..Я
                code += 0x20;
            else if (code >= 0x400 && code <= 0x40F)  // Ѐ..Џ, Ё among them
                code += 0x50;
            if (code == 0x451)  // ё
                code = 0x435;   // е
            key += static_cast<char>(0xC0 | (code >> 6));
            key += static_cast<char>(0x80 | (code & 0x3F));
            ++i;
            continue;
        }
        key += static_cast<char>(c);
    }
    return key;
}

std::array<int, kChangeCount> Comparison::Counts() const
{
    std::array<int, kChangeCount> counts{};
    for (const ComparedPoint& p : points)
        ++counts[static_cast<std::size_t>(p.change)];
    return counts;
}

Comparison Compare(std::vector<ProtocolRow> before, std::vector<ProtocolRow> after)
{
    Comparison c;
    c.before = std::move(before);
    c.after = std::move(after);
    // The points "до" of each room and place, in their order; a file that
    // could not be read has no room or place and matches nothing.
    std::map<Key, std::vector<int>> waiting;
    for (std::size_t i = 0; i < c.before.size(); ++i)
        if (c.before[i].readable)
            waiting[KeyOf(c.before[i])].push_back(static_cast<int>(i));
    std::map<Key, std::size_t> taken;
    std::vector<bool> matched(c.before.size(), false);
    c.points.reserve(c.before.size() + c.after.size());
    for (std::size_t i = 0; i < c.after.size(); ++i) {
        int before = -1;
        if (c.after[i].readable) {
            const Key key = KeyOf(c.after[i]);
            const auto it = waiting.find(key);
            std::size_t& n = taken[key];
            if (it != waiting.end() && n < it->second.size())
                before = it->second[n++];
        }
        if (before >= 0)
            matched[static_cast<std::size_t>(before)] = true;
        c.points.push_back(Paired(c, before, static_cast<int>(i)));
    }
    for (std::size_t i = 0; i < c.before.size(); ++i)
        if (!matched[i])
            c.points.push_back(Paired(c, static_cast<int>(i), -1));
    return c;
}

const ColumnInfo& Info(CompareColumn column)
{
    return kCompareInfo[static_cast<std::size_t>(column)];
}

std::array<std::string, kCompareColumnCount> ComparisonCells(const Comparison& comparison, const ComparedPoint& point,
                                                             const analysis::NumberFormat& nf)
{
    std::array<std::string, kCompareColumnCount> cells;
    auto cell = [&](CompareColumn c) -> std::string& { return cells[static_cast<std::size_t>(c)]; };
    const ProtocolRow* before = comparison.Before(point);
    const ProtocolRow* after = comparison.After(point);
    const ProtocolRow* named = after ? after : before;
    cell(CompareColumn::Room) = named->room;
    cell(CompareColumn::Place) = named->place;
    const auto values = [&](const ProtocolRow* row, CompareColumn e, CompareColumn kp, CompareColumn verdict) {
        if (!row) {
            cell(e) = cell(kp) = cell(verdict) = analysis::kNone;
            return;
        }
        // A file that could not be read has no metrics at all, not even unusable ones.
        cell(e) = row->Usable() ? analysis::IlluminanceText(row->metrics, nf) : analysis::kNone;
        cell(kp) = row->Usable() ? analysis::PulsationText(row->metrics, nf) : analysis::kNone;
        cell(verdict) = row->Conclusion();
    };
    values(before, CompareColumn::IlluminanceBefore, CompareColumn::PulsationBefore, CompareColumn::VerdictBefore);
    values(after, CompareColumn::IlluminanceAfter, CompareColumn::PulsationAfter, CompareColumn::VerdictAfter);
    cell(CompareColumn::IlluminanceDelta) = analysis::OptionalText(point.illuminanceDelta, 1, nf);
    cell(CompareColumn::PulsationDelta) = analysis::OptionalText(point.pulsationDelta, 1, nf);
    cell(CompareColumn::Change) = ChangeText(point.change);
    return cells;
}

std::string ComparisonCsv(const Comparison& comparison, const analysis::NumberFormat& nf)
{
    std::array<std::string, kCompareColumnCount> titles;
    for (int i = 0; i < kCompareColumnCount; ++i)
        titles[static_cast<std::size_t>(i)] = Info(static_cast<CompareColumn>(i)).title;
    std::string csv = "\xEF\xBB\xBF";
    AppendCsvLine(csv, titles);
    for (const ComparedPoint& point : comparison.points)
        AppendCsvLine(csv, ComparisonCells(comparison, point, nf));
    return csv;
}

std::vector<ComparedRoom> CompareRooms(const Comparison& comparison)
{
    std::vector<ComparedRoom> rooms;
    std::map<std::string, std::size_t> index;  // by MatchKey
    for (const RoomRow& room : RoomsOf(comparison.after)) {
        index.emplace(MatchKey(room.name), rooms.size());
        rooms.push_back({room.name, std::nullopt, room});
    }
    for (const RoomRow& room : RoomsOf(comparison.before)) {
        const auto [it, added] = index.emplace(MatchKey(room.name), rooms.size());
        if (added)
            rooms.push_back({room.name, room, std::nullopt});
        else if (!rooms[it->second].before)  // the first of names equal as keys
            rooms[it->second].before = room;
    }
    return rooms;
}

const char* Title(CompareRoomColumn column)
{
    return kCompareRoomTitles[static_cast<std::size_t>(column)];
}

std::array<std::string, kCompareRoomColumnCount> ComparedRoomCells(const ComparedRoom& room,
                                                                   const analysis::NumberFormat& nf)
{
    std::array<std::string, kCompareRoomColumnCount> cells;
    auto cell = [&](CompareRoomColumn c) -> std::string& { return cells[static_cast<std::size_t>(c)]; };
    cell(CompareRoomColumn::Room) = room.name;
    const auto side = [&](const std::optional<RoomRow>& r, CompareRoomColumn mean, CompareRoomColumn kp) {
        const bool any = r && r->points > 0;
        cell(mean) = any ? analysis::FormatFixed(r->mean, r->decimals, nf) : analysis::kNone;
        cell(kp) = any ? analysis::FormatFixed(r->pulsationMax, 1, nf) : analysis::kNone;
    };
    side(room.before, CompareRoomColumn::MeanBefore, CompareRoomColumn::PulsationMaxBefore);
    side(room.after, CompareRoomColumn::MeanAfter, CompareRoomColumn::PulsationMaxAfter);
    return cells;
}

}  // namespace protocol
