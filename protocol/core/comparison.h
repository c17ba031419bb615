#pragma once
// Two protocols of one building side by side: the survey "до" (before) and
// the survey "после" (after). A point of one matches the point of the other
// with the same room and place (trimmed, letter case ignored, "ё" read as
// "е"); the n-th of a place repeated in a room matches the n-th of the other
// survey, both in the natural order of the file names. Each point carries the
// norms and limits its own protocol gave it.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "analysis/number_format.h"
#include "protocol/core/protocol.h"

namespace protocol {

// What became of a point between the surveys.
enum class Change {
    NowComplies,       // "стало соответствовать"
    NoLongerComplies,  // "перестало соответствовать"
    Unchanged,         // "без изменений"
    OnlyBefore,        // "только до"
    OnlyAfter,         // "только после"
    NotCompared,       // "—": matched, but one of the two files cannot be used
};
inline constexpr int kChangeCount = 6;
const char* ChangeText(Change change);
// What NotCompared's "—" means, where its count is captioned.
inline constexpr const char* kNotComparedMeaning = "один из двух файлов не может быть использован";

// The form in which rooms and places are compared: blanks trimmed at both
// ends, Latin and Cyrillic letters in lower case, "ё" as "е".
std::string MatchKey(const std::string& text);

// One row of the comparison: a matched pair or a point of one survey alone.
struct ComparedPoint {
    int before = -1;                         // index into Comparison::before; -1: only after
    int after = -1;                          // index into Comparison::after; -1: only before
    std::optional<double> illuminanceDelta;  // ΔE, % of E before (from the shown values)
    std::optional<double> pulsationDelta;    // ΔКп, percentage points
    Change change = Change::NotCompared;
};

struct Comparison {
    std::vector<ProtocolRow> before, after;
    // In the order of the "после" protocol, then the points found only
    // before in the order of the "до" one.
    std::vector<ComparedPoint> points;

    const ProtocolRow* Before(const ComparedPoint& p) const { return p.before < 0 ? nullptr : &before[p.before]; }
    const ProtocolRow* After(const ComparedPoint& p) const { return p.after < 0 ? nullptr : &after[p.after]; }
    // How many points have each change, indexed by Change.
    std::array<int, kChangeCount> Counts() const;
};

// Matches the rows of two protocols (each as BuildProtocol gives them).
Comparison Compare(std::vector<ProtocolRow> before, std::vector<ProtocolRow> after);

// The comparison table's columns, in the order of the table and the CSV.
enum class CompareColumn {
    Room,
    Place,
    IlluminanceBefore,
    IlluminanceAfter,
    IlluminanceDelta,
    PulsationBefore,
    PulsationAfter,
    PulsationDelta,
    VerdictBefore,
    VerdictAfter,
    Change,
};
inline constexpr int kCompareColumnCount = 11;
const ColumnInfo& Info(CompareColumn column);

// The texts of a row's cells: the room and place as the "после" file spells
// them (else the "до" one), "—" for a value that is none, an unusable file's
// reason in its "Вывод".
std::array<std::string, kCompareColumnCount> ComparisonCells(const Comparison& comparison, const ComparedPoint& point,
                                                             const analysis::NumberFormat& nf);

// The whole CSV, as the protocol's: UTF-8 with a byte-order mark, ';'
// between cells, CR LF after each line.
std::string ComparisonCsv(const Comparison& comparison, const analysis::NumberFormat& nf);

// The rooms of both surveys, matched by name as points are; in the order of
// the "после" protocol's rooms, then those found only before.
struct ComparedRoom {
    std::string name;
    std::optional<RoomRow> before, after;  // none: the survey has no such room
};
std::vector<ComparedRoom> CompareRooms(const Comparison& comparison);
enum class CompareRoomColumn { Room, MeanBefore, MeanAfter, PulsationMaxBefore, PulsationMaxAfter };
inline constexpr int kCompareRoomColumnCount = 5;
const char* Title(CompareRoomColumn column);
std::array<std::string, kCompareRoomColumnCount> ComparedRoomCells(const ComparedRoom& room,
                                                                   const analysis::NumberFormat& nf);

}  // namespace protocol
