#pragma once
// The inspector's protocol of a folder of measurements: one row per
// measurement file in the natural order of the names, with illuminance and
// pulsation coefficient, their uncertainties, norms and verdicts, the flicker
// metrics and the file's digest; the rooms the points belong to; written as
// CSV (and, by the Qt part, as PDF).

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/flicker.h"
#include "analysis/measurement.h"
#include "analysis/number_format.h"
#include "protocol/core/point_markers.h"

namespace protocol {

// The protocol's columns, in the order of the table and the CSV.
enum class Column {
    Number,
    File,
    Room,
    Place,
    Illuminance,
    IlluminanceUncertainty,
    IlluminanceNorm,
    IlluminanceVerdict,
    Pulsation,
    PulsationUncertainty,
    Limit,
    PulsationVerdict,
    Verdict,
    Frequency,
    PercentFlicker,
    FlickerIndex,
    Svm,
    SvmBand,
    Ieee1789,
    Digest,
};
inline constexpr int kColumnCount = 20;

struct ColumnInfo {
    const char* title;
    bool numeric;  // right-aligned
};
const ColumnInfo& Info(Column column);

// The columns in order, for walking a row.
inline constexpr std::array<Column, kColumnCount> kColumns{
    Column::Number,
    Column::File,
    Column::Room,
    Column::Place,
    Column::Illuminance,
    Column::IlluminanceUncertainty,
    Column::IlluminanceNorm,
    Column::IlluminanceVerdict,
    Column::Pulsation,
    Column::PulsationUncertainty,
    Column::Limit,
    Column::PulsationVerdict,
    Column::Verdict,
    Column::Frequency,
    Column::PercentFlicker,
    Column::FlickerIndex,
    Column::Svm,
    Column::SvmBand,
    Column::Ieee1789,
    Column::Digest,
};

// The CSV's title line: the titles separated by ';'.
std::string CsvHeaderLine();

// A verdict on one quantity or on the whole point. NotJudged: the quantity
// has no norm ("—"); Unusable: no verdict, the file cannot be used or a
// marker is out of range.
enum class Verdict { Complies, Fails, Unusable, NotJudged };
// Simple acceptance: the measured value against its norm, both as shown.
Verdict PulsationVerdict(double pulsationPercent, double limitPercent);
Verdict IlluminanceVerdict(double illuminanceLux, double normLux);
const char* VerdictText(Verdict verdict);  // "соответствует", "не соответствует", "", "—"

// What the protocol's header gives every point: the default norms and the
// instrument's limits of permissible relative error (percent).
struct Judging {
    double limit = analysis::kDefaultPulsationLimit;  // Kп, %
    std::optional<double> illuminanceNorm;            // E, lx; none: E is not judged
    std::optional<double> illuminanceError;           // delta of E
    std::optional<double> pulsationError;             // delta of Kп
};

// The expanded uncertainty of a value x measured with the error limit delta
// (percent): U = 2 * delta * x / (100 * sqrt(3)), the limit taken as a
// rectangular distribution and the coverage factor 2.
double ExpandedUncertainty(double value, double errorPercent);

struct ProtocolRow {
    int number = 0;         // 1, 2, ...
    std::string fileName;   // the name in the folder
    std::string place;      // the comment's first line
    std::string room;       // the comment's "Помещение: NAME"; empty: none
    std::string digest;     // SHA-256 of the file's bytes; empty when not read whole
    bool readable = false;  // the file could be read (the comment and limit are known)
    analysis::MeasurementRecord record;
    analysis::FlickerMetrics metrics;
    double limit = analysis::kDefaultPulsationLimit;
    bool limitFromComment = false;  // the comment has a "Кп<=N" marker
    bool markerOutOfRange = false;  // ... whose N lies outside 0..100: no verdict
    std::optional<double> illuminanceNorm;
    bool illuminanceNormFromComment = false;  // the comment has an "Е>=N" marker
    bool illuminanceMarkerOutOfRange = false;
    std::optional<double> illuminanceUncertainty;  // U(E), lx
    std::optional<double> pulsationUncertainty;    // U(Кп), %
    Verdict illuminanceVerdict = Verdict::Unusable;
    Verdict pulsationVerdict = Verdict::Unusable;
    Verdict verdict = Verdict::Unusable;  // of the point: every judged quantity
    std::string problem;                  // why the file cannot be used (Russian); empty when it can

    bool Usable() const { return readable && metrics.Usable(); }
    // What "Вывод" shows: the verdict, or the problem.
    std::string Conclusion() const { return verdict == Verdict::Unusable ? problem : VerdictText(verdict); }
    // E in lux as the protocol shows it.
    double ShownIlluminance() const;
};

// What the window's header holds; the command line leaves it empty.
struct ProtocolHeader {
    std::string organisation;
    std::string object;  // object and address
    std::string date;
    std::string instrument;
    std::string serialNumber;
    std::string certificate;  // verification certificate
    std::string conditions;
    std::string method;     // the measurement method
    std::string normative;  // the document the limits come from
};

// A folder given by the user as its folder part (with the trailing separator).
std::string FolderWithSeparator(std::string folder);

// The rows of the measurement files in `folder` (a folder part), in the
// natural order of their names.
std::vector<ProtocolRow> BuildProtocol(const std::string& folder, const Judging& judging);

// The row of one file (its number left 0), e.g. again after an edit.
ProtocolRow ReadRow(const std::string& folder, const std::string& name, const Judging& judging);

// Sets new defaults: the rows without norms of their own get them, every row
// its uncertainties and its verdicts again.
void ApplyJudging(std::vector<ProtocolRow>& rows, const Judging& judging);
void ApplyJudging(ProtocolRow& row, const Judging& judging);

// The texts of a row's cells, file names legible whatever their encoding.
// An unusable row has its reason in "Вывод" and no numbers; a row whose
// marker is out of range has its numbers, the reason and no limit.
struct RowCells {
    std::array<std::string, kColumnCount> text;
    std::string& operator[](Column c) { return text[static_cast<std::size_t>(c)]; }
    const std::string& operator[](Column c) const { return text[static_cast<std::size_t>(c)]; }
};
RowCells CellsOf(const ProtocolRow& row, const analysis::NumberFormat& nf);

// A limit as a cell shows it: no trailing zeros ("5", "2,5").
std::string LimitText(double limit, const analysis::NumberFormat& nf);

// The rooms of the protocol, in the order of their first point; points
// without a room and unusable files count in no aggregate.
enum class RoomColumn { Room, Points, Mean, Min, Max, Uniformity, PulsationMax, Failing };
inline constexpr int kRoomColumnCount = 8;
const char* RoomColumnTitle(RoomColumn column);
struct RoomRow {
    std::string name;
    int points = 0;                           // usable points
    double mean = 0.0, min = 0.0, max = 0.0;  // E, lx, as shown
    int decimals = 0;                         // of the points' E
    double pulsationMax = 0.0;                // Kп, %
    int failing = 0;                          // points whose "Вывод" is "не соответствует"
};
std::vector<RoomRow> RoomsOf(const std::vector<ProtocolRow>& rows);
std::array<std::string, kRoomColumnCount> RoomCells(const RoomRow& room, const analysis::NumberFormat& nf);
std::string RoomsCsv(const std::vector<RoomRow>& rooms, const analysis::NumberFormat& nf);
// The rooms CSV beside the protocol's: "p.csv" gives "p_помещения.csv".
std::string RoomsCsvPath(const std::string& protocolCsvPath);

// The whole CSV: UTF-8 with a byte-order mark, ';' between cells, CR LF
// after each line, cells holding ';', '"' or a line break quoted, and a cell
// starting with = + - @ that is not a number given a leading apostrophe
// (spreadsheets would take it for a formula).
std::string ProtocolCsv(const std::vector<ProtocolRow>& rows, const analysis::NumberFormat& nf);
// Appends one line of such a CSV.
void AppendCsvLine(std::string& csv, std::span<const std::string> cells);

// Parses a limit typed by the user ("5", "2,5", "2.5") and rounds it as it is
// shown; false when it is not a number from 0 to 100.
bool ParseLimit(const std::string& text, double& limit);

// The same for a number within the norm's range (E: above 0, up to 100 000).
bool ParseNorm(const std::string& text, Norm norm, double& value);
// An error limit typed by the user: above 0 and up to 100 percent.
bool ParseError(const std::string& text, double& percent);

}  // namespace protocol
