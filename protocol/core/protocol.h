#pragma once
// The inspector's protocol of a folder of measurements: one row per
// measurement file in the natural order of the names, with illuminance,
// pulsation coefficient, its limit and verdict, and the flicker metrics;
// written as CSV (and, by the Qt part, as PDF).

#include <array>
#include <string>
#include <vector>

#include "analysis/flicker.h"
#include "analysis/measurement.h"
#include "analysis/number_format.h"

namespace protocol {

// The protocol's columns, in the order of the table, the CSV and the PDF.
enum class Column {
    Number,
    File,
    Place,
    Illuminance,
    Pulsation,
    Limit,
    Verdict,
    Frequency,
    PercentFlicker,
    FlickerIndex,
    Svm,
    Ieee1789,
};
inline constexpr int kColumnCount = 12;

struct ColumnInfo {
    const char* title;
    bool numeric;     // right-aligned
    double pdfWidth;  // on paper, in 1/96 inch
};
const ColumnInfo& Info(Column column);

// The columns in order, for walking a row.
inline constexpr std::array<Column, kColumnCount> kColumns{
    Column::Number,         Column::File,         Column::Place,   Column::Illuminance,
    Column::Pulsation,      Column::Limit,        Column::Verdict, Column::Frequency,
    Column::PercentFlicker, Column::FlickerIndex, Column::Svm,     Column::Ieee1789,
};

// The CSV's title line: the titles separated by ';'.
std::string CsvHeaderLine();

// A point's verdict: Kп against its limit, or no verdict for a file that
// cannot be used.
enum class Verdict { Complies, Fails, Unusable };
Verdict PulsationVerdict(double pulsationPercent, double limitPercent);
const char* VerdictText(Verdict verdict);  // "соответствует", "не соответствует", ""

struct ProtocolRow {
    int number = 0;         // 1, 2, ...
    std::string fileName;   // the name in the folder
    std::string place;      // the comment's first line
    bool readable = false;  // the file could be read (the comment and limit are known)
    analysis::MeasurementRecord record;
    analysis::FlickerMetrics metrics;
    double limit = analysis::kDefaultPulsationLimit;
    bool limitFromComment = false;  // the comment has a "Кп<=N" marker
    bool markerOutOfRange = false;  // ... whose N lies outside 0..100: no verdict
    Verdict verdict = Verdict::Unusable;
    std::string problem;  // why the file cannot be used (Russian); empty when it can

    bool Usable() const { return readable && metrics.Usable(); }
    // What "Вывод" shows: the verdict, or the problem.
    std::string Conclusion() const { return verdict == Verdict::Unusable ? problem : VerdictText(verdict); }
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
std::vector<ProtocolRow> BuildProtocol(const std::string& folder, double defaultLimit);

// The row of one file (its number left 0), e.g. again after an edit.
ProtocolRow ReadRow(const std::string& folder, const std::string& name, double defaultLimit);

// Sets a new default limit: the rows without a limit of their own get it and
// their verdicts again.
void ApplyDefaultLimit(std::vector<ProtocolRow>& rows, double defaultLimit);

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

// The whole CSV: UTF-8 with a byte-order mark, ';' between cells, CR LF
// after each line, cells holding ';', '"' or a line break quoted, and a cell
// starting with = + - @ that is not a number given a leading apostrophe
// (spreadsheets would take it for a formula).
std::string ProtocolCsv(const std::vector<ProtocolRow>& rows, const analysis::NumberFormat& nf);

// Parses a limit typed by the user ("5", "2,5", "2.5") and rounds it as it is
// shown; false when it is not a number from 0 to 100.
bool ParseLimit(const std::string& text, double& limit);

}  // namespace protocol
