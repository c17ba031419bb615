#include "protocol/core/protocol.h"

#include <charconv>
#include <cmath>

#include "files/comment_browser.h"
#include "files/cp1251.h"
#include "files/file_error.h"
#include "files/folder.h"
#include "files/svk_file.h"
#include "protocol/core/cell_edit.h"
#include "protocol/core/limit_marker.h"
#include "protocol/core/natural_order.h"

namespace protocol {

namespace {

bool IsNumber(const std::string& cell)
{
    std::string s = cell;
    for (char& c : s)
        if (c == ',')
            c = '.';
    double value = 0.0;
    const auto res = std::from_chars(s.data() + (s.starts_with('+') ? 1 : 0), s.data() + s.size(), value);
    return res.ec == std::errc() && res.ptr == s.data() + s.size();
}

std::string CsvCell(std::string cell)
{
    // A spreadsheet takes a cell starting so for a formula.
    if (!cell.empty() && std::string_view("=+-@").find(cell.front()) != std::string_view::npos && !IsNumber(cell))
        cell.insert(0, 1, '\'');
    if (cell.find_first_of(";\"\r\n") == std::string::npos)
        return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

constexpr ColumnInfo kInfo[kColumnCount] = {
    {"№", true, 26},     {"Файл", false, 90},       {"Место", false, 140}, {"E, лк", true, 62},
    {"Кп, %", true, 44}, {"Норма Кп, %", true, 48}, {"Вывод", false, 104}, {"F, Гц", true, 50},
    {"PF, %", true, 44}, {"FI", true, 42},          {"SVM", true, 56},     {"IEEE 1789", false, 78},
};

}  // namespace

const ColumnInfo& Info(Column column)
{
    return kInfo[static_cast<std::size_t>(column)];
}

std::string CsvHeaderLine()
{
    std::string line;
    for (Column c : kColumns)
        line += (line.empty() ? "" : ";") + std::string(Info(c).title);
    return line;
}

Verdict PulsationVerdict(double pulsationPercent, double limitPercent)
{
    // Kп has one decimal; allow for the binary representation of both.
    return pulsationPercent <= limitPercent + 1e-9 ? Verdict::Complies : Verdict::Fails;
}

const char* VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Complies:
        return "соответствует";
    case Verdict::Fails:
        return "не соответствует";
    case Verdict::Unusable:
        break;
    }
    return "";
}

std::string FolderWithSeparator(std::string folder)
{
    if (!folder.empty() && !files::NamePart(folder).empty())
        folder += '/';
    return folder;
}

ProtocolRow ReadRow(const std::string& folder, const std::string& name, double defaultLimit)
{
    ProtocolRow row;
    row.fileName = name;
    row.limit = ShownLimit(defaultLimit);
    const std::string path = folder + name;
    try {
        files::MeasurementFile file = files::ReadMeasurementFile(path, kMaxFileBytes);
        row.readable = true;
        row.record = file.record;
        const auto lines = files::SplitLines(file.commentUtf8);
        if (!lines.empty())
            row.place = lines.front();
        const auto marker = FindLimitMarker(file.commentUtf8);
        row.limitFromComment = marker.has_value();
        row.markerOutOfRange = marker && !marker->limit;
        if (marker && marker->limit)
            row.limit = *marker->limit;
        row.metrics = analysis::ComputeFlickerMetrics(row.record);
        if (!row.metrics.Usable())
            row.problem = row.metrics.unusable;
        else if (row.markerOutOfRange)
            row.problem = OutOfRangeMarkerText(*marker);
        else
            row.verdict = PulsationVerdict(row.metrics.pulsationPercent, row.limit);
    } catch (const files::FileError& e) {
        row.problem = e.what() == files::NoHeaderMessage(path) ? "файл повреждён: в нём нет заголовка измерения"
                                                               : "файл не удалось прочитать";
    }
    return row;
}

std::vector<ProtocolRow> BuildProtocol(const std::string& folder, double defaultLimit)
{
    std::vector<ProtocolRow> rows;
    auto listing = files::ListSvkEntries(folder);
    SortNaturally(listing);
    rows.reserve(listing.size());
    for (const std::string& name : listing) {
        rows.push_back(ReadRow(folder, name, defaultLimit));
        rows.back().number = static_cast<int>(rows.size());
    }
    return rows;
}

void ApplyDefaultLimit(std::vector<ProtocolRow>& rows, double defaultLimit)
{
    for (auto& row : rows) {
        if (row.limitFromComment)
            continue;
        row.limit = ShownLimit(defaultLimit);
        if (row.Usable())
            row.verdict = PulsationVerdict(row.metrics.pulsationPercent, row.limit);
    }
}

std::string LimitText(double limit, const analysis::NumberFormat& nf)
{
    std::string text = analysis::FormatFixed(ShownLimit(limit), 3, nf);
    const std::size_t sep = text.find(nf.decimalSeparator);
    if (sep != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.size() == sep + nf.decimalSeparator.size())
            text.erase(sep);
    }
    return text;
}

RowCells CellsOf(const ProtocolRow& row, const analysis::NumberFormat& nf)
{
    using analysis::FormatFixed;
    using analysis::OptionalText;
    const auto& m = row.metrics;
    RowCells cells;
    cells[Column::Number] = std::to_string(row.number);
    cells[Column::File] = files::DisplayText(row.fileName);
    cells[Column::Place] = row.place;
    cells[Column::Verdict] = row.Conclusion();
    if (row.readable && !row.markerOutOfRange)
        cells[Column::Limit] = LimitText(row.limit, nf);
    if (!row.Usable())
        return cells;
    cells[Column::Illuminance] = analysis::IlluminanceText(m, nf);
    cells[Column::Pulsation] = analysis::PulsationText(m, nf);
    cells[Column::Frequency] = OptionalText(m.frequency, 1, nf);
    cells[Column::PercentFlicker] = FormatFixed(m.percentFlicker, 1, nf);
    cells[Column::FlickerIndex] = OptionalText(m.flickerIndex, 3, nf);
    cells[Column::Svm] = OptionalText(m.svm, 3, nf);
    if (m.svm && m.SvmLimitedByNyquist())
        cells[Column::Svm] += " (до " + FormatFixed(m.svmUpperHz, 0, nf) + " Гц)";
    cells[Column::Ieee1789] = analysis::Ieee1789Text(m.ieee);
    return cells;
}

std::string ProtocolCsv(const std::vector<ProtocolRow>& rows, const analysis::NumberFormat& nf)
{
    std::string csv = "\xEF\xBB\xBF";
    csv += CsvHeaderLine();
    csv += "\r\n";
    for (const auto& row : rows) {
        const RowCells cells = CellsOf(row, nf);
        for (Column c : kColumns) {
            if (c != Column::Number)
                csv += ';';
            csv += CsvCell(cells[c]);
        }
        csv += "\r\n";
    }
    return csv;
}

bool ParseLimit(const std::string& text, double& limit)
{
    std::string s;
    for (char c : text)
        if (c != ' ')
            s += c == ',' ? '.' : c;
    double value = 0.0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size() || !(value >= 0.0 && value <= 100.0))
        return false;
    limit = ShownLimit(value);
    return true;
}

}  // namespace protocol
