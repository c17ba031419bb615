#include "protocol/core/protocol.h"

#include <charconv>
#include <cmath>

#include "files/comment_browser.h"
#include "files/file_error.h"
#include "files/folder.h"
#include "files/svk_file.h"

namespace protocol {

namespace {

std::string CsvCell(const std::string& cell)
{
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

}  // namespace

std::string FolderWithSeparator(std::string folder)
{
    if (!folder.empty() && !files::NamePart(folder).empty())
        folder += '/';
    return folder;
}

std::vector<ProtocolRow> BuildProtocol(const std::string& folder, double defaultLimit)
{
    std::vector<ProtocolRow> rows;
    const auto listing = files::ListSvkEntries(folder);
    rows.reserve(listing.size());
    for (const std::string& name : listing) {
        ProtocolRow row;
        row.number = static_cast<int>(rows.size()) + 1;
        row.fileName = name;
        row.limit = defaultLimit;
        const std::string path = folder + name;
        try {
            files::MeasurementFile file = files::ReadMeasurementFile(path);
            row.readable = true;
            row.record = file.record;
            const auto lines = files::SplitLines(file.commentUtf8);
            if (!lines.empty())
                row.place = lines.front();
            if (const auto limit = analysis::PulsationLimitFromComment(file.commentUtf8)) {
                row.limit = *limit;
                row.limitFromComment = true;
            }
            row.metrics = analysis::ComputeFlickerMetrics(row.record);
            row.conclusion = row.metrics.Usable()
                                 ? analysis::PulsationVerdict(row.metrics.pulsationPercent, row.limit)
                                 : row.metrics.unusable;
        } catch (const files::FileError& e) {
            row.conclusion = e.what() == files::NoHeaderMessage(path)
                                 ? "файл повреждён: в нём нет заголовка измерения"
                                 : "файл не удалось прочитать";
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void ApplyDefaultLimit(std::vector<ProtocolRow>& rows, double defaultLimit)
{
    for (auto& row : rows) {
        if (row.limitFromComment)
            continue;
        row.limit = defaultLimit;
        if (row.Usable())
            row.conclusion = analysis::PulsationVerdict(row.metrics.pulsationPercent, row.limit);
    }
}

std::string LimitText(double limit, const analysis::NumberFormat& nf)
{
    std::string text = analysis::FormatFixed(limit, 3, nf);
    const std::size_t sep = text.find(nf.decimalSeparator);
    if (sep != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.size() == sep + nf.decimalSeparator.size())
            text.erase(sep);
    }
    return text;
}

std::vector<std::string> RowCells(const ProtocolRow& row, const analysis::NumberFormat& nf)
{
    using analysis::FormatFixed;
    using analysis::OptionalText;
    const auto& m = row.metrics;
    std::vector<std::string> cells{std::to_string(row.number), row.fileName, row.place};
    if (!row.Usable()) {
        cells.insert(cells.end(), {"", "", row.readable ? LimitText(row.limit, nf) : "", row.conclusion,
                                   "", "", "", "", ""});
        return cells;
    }
    std::string svm = OptionalText(m.svm, 3, nf);
    if (m.svm && m.SvmLimitedByNyquist())
        svm += " (до " + FormatFixed(m.svmUpperHz, 0, nf) + " Гц)";
    cells.insert(cells.end(), {analysis::IlluminanceText(m, nf), analysis::PulsationText(m, nf),
                               LimitText(row.limit, nf), row.conclusion, OptionalText(m.frequency, 1, nf),
                               FormatFixed(m.percentFlicker, 1, nf), OptionalText(m.flickerIndex, 3, nf), svm,
                               analysis::Ieee1789Text(m.ieee)});
    return cells;
}

std::string ProtocolCsv(const std::vector<ProtocolRow>& rows, const analysis::NumberFormat& nf)
{
    std::string csv = "\xEF\xBB\xBF";
    csv += kCsvHeader;
    csv += "\r\n";
    for (const auto& row : rows) {
        const auto cells = RowCells(row, nf);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0)
                csv += ';';
            csv += CsvCell(cells[i]);
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
    limit = value;
    return true;
}

}  // namespace protocol
