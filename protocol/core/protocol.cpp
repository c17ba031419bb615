#include "protocol/core/protocol.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "files/comment_browser.h"
#include "files/cp1251.h"
#include "files/file_error.h"
#include "files/folder.h"
#include "files/svk_file.h"
#include "protocol/core/cell_edit.h"
#include "protocol/core/file_digest.h"
#include "protocol/core/point_markers.h"
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
    {"№", true},           {"Файл", false},        {"Помещение", false},  {"Место", false},     {"E, лк", true},
    {"U(E), лк", true},    {"Норма E, лк", true},  {"Вывод по E", false}, {"Кп, %", true},      {"U(Кп), %", true},
    {"Норма Кп, %", true}, {"Вывод по Кп", false}, {"Вывод", false},      {"F, Гц", true},      {"PF, %", true},
    {"FI", true},          {"SVM", true},          {"SVM до, Гц", true},  {"IEEE 1789", false}, {"SHA-256", false},
};

const std::array<std::string, kRoomColumnCount> kRoomTitles = {
    "Помещение", "Точек", "Eср, лк", "Emin, лк", "Emax, лк", "Emin/Eср", "Кп max, %", "Не соответствуют",
};

// A verdict of the value against its norm, both as shown: E has its own
// decimals, Kп one; allow for the binary representation of both.
Verdict Judge(bool complies)
{
    return complies ? Verdict::Complies : Verdict::Fails;
}

}  // namespace

void AppendCsvLine(std::string& csv, std::span<const std::string> cells)
{
    bool first = true;
    for (const std::string& cell : cells) {
        if (!first)
            csv += ';';
        first = false;
        csv += CsvCell(cell);
    }
    csv += "\r\n";
}

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
    return Judge(pulsationPercent <= limitPercent + 1e-9);
}

Verdict IlluminanceVerdict(double illuminanceLux, double normLux)
{
    return Judge(illuminanceLux >= normLux - 1e-9);
}

double ExpandedUncertainty(double value, double errorPercent)
{
    return 2.0 * errorPercent * value / (100.0 * std::sqrt(3.0));
}

double ProtocolRow::ShownIlluminance() const
{
    double value = metrics.meanUnits;
    for (int e = 0; e < metrics.exponent; ++e)
        value *= 10;
    for (int e = 0; e > metrics.exponent; --e)
        value /= 10;
    return value;
}

const char* VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Complies:
        return "соответствует";
    case Verdict::Fails:
        return "не соответствует";
    case Verdict::NotJudged:
        return analysis::kNone;
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

ProtocolRow ReadRow(const std::string& folder, const std::string& name, const Judging& judging)
{
    ProtocolRow row;
    row.fileName = name;
    const std::string path = folder + name;
    try {
        bool tooLong = false;
        const auto bytes = files::ReadWholeFile(path, kMaxFileBytes, tooLong);
        std::optional<files::DecodedMeasurement> decoded;
        std::string comment;
        if (bytes) {
            row.digest = Sha256Hex(*bytes);
            decoded = files::DecodeMeasurement(*bytes);
            if (!decoded)
                throw files::FileError(files::NoHeaderMessage(path));
            row.record = decoded->record;
            comment = files::CommentFromFile(decoded->commentBytes);
        } else if (tooLong) {
            // Read only so far: no digest of a part.
            files::MeasurementFile file = files::ReadMeasurementFile(path, kMaxFileBytes);
            row.record = file.record;
            comment = std::move(file.commentUtf8);
        } else {
            throw files::FileError("");
        }
        row.readable = true;
        const auto lines = files::SplitLines(comment);
        if (!lines.empty())
            row.place = lines.front();
        row.room = FindRoom(comment).value_or("");
        const auto limit = FindNormMarker(comment, Norm::Pulsation);
        row.limitFromComment = limit.has_value();
        row.markerOutOfRange = limit && !limit->value;
        if (limit && limit->value)
            row.limit = *limit->value;
        const auto norm = FindNormMarker(comment, Norm::Illuminance);
        row.illuminanceNormFromComment = norm.has_value();
        row.illuminanceMarkerOutOfRange = norm && !norm->value;
        if (norm)
            row.illuminanceNorm = norm->value;
        row.metrics = analysis::ComputeFlickerMetrics(row.record);
        std::string outOfRange;
        for (const auto& marker : {limit, norm})
            if (marker && !marker->value)
                outOfRange += (outOfRange.empty() ? "" : "; ") + OutOfRangeMarkerText(*marker);
        row.problem = !row.metrics.Usable() ? row.metrics.unusable : outOfRange;
    } catch (const files::FileError& e) {
        row.problem = e.what() == files::NoHeaderMessage(path) ? "файл повреждён: в нём нет заголовка измерения"
                                                               : "файл не удалось прочитать";
    }
    ApplyJudging(row, judging);
    return row;
}

std::vector<ProtocolRow> BuildProtocol(const std::string& folder, const Judging& judging)
{
    std::vector<ProtocolRow> rows;
    auto listing = files::ListSvkEntries(folder);
    SortNaturally(listing);
    rows.reserve(listing.size());
    for (const std::string& name : listing) {
        rows.push_back(ReadRow(folder, name, judging));
        rows.back().number = static_cast<int>(rows.size());
    }
    return rows;
}

void ApplyJudging(ProtocolRow& row, const Judging& judging)
{
    if (!row.limitFromComment)
        row.limit = ShownLimit(judging.limit);
    if (!row.illuminanceNormFromComment)
        row.illuminanceNorm =
            judging.illuminanceNorm ? std::optional(ShownLimit(*judging.illuminanceNorm)) : std::nullopt;
    row.illuminanceUncertainty.reset();
    row.pulsationUncertainty.reset();
    row.illuminanceVerdict = row.pulsationVerdict = row.verdict = Verdict::Unusable;
    if (!row.Usable())
        return;
    const double e = row.ShownIlluminance();
    if (judging.illuminanceError)
        row.illuminanceUncertainty = ExpandedUncertainty(e, *judging.illuminanceError);
    if (judging.pulsationError)
        row.pulsationUncertainty = ExpandedUncertainty(row.metrics.pulsationPercent, *judging.pulsationError);
    if (!row.markerOutOfRange)
        row.pulsationVerdict = PulsationVerdict(row.metrics.pulsationPercent, row.limit);
    if (!row.illuminanceMarkerOutOfRange)
        row.illuminanceVerdict = row.illuminanceNorm ? IlluminanceVerdict(e, *row.illuminanceNorm) : Verdict::NotJudged;
    if (row.markerOutOfRange || row.illuminanceMarkerOutOfRange)
        return;
    row.verdict = row.pulsationVerdict == Verdict::Fails || row.illuminanceVerdict == Verdict::Fails
                      ? Verdict::Fails
                      : Verdict::Complies;
}

void ApplyJudging(std::vector<ProtocolRow>& rows, const Judging& judging)
{
    for (auto& row : rows)
        ApplyJudging(row, judging);
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
    cells[Column::Room] = row.room;
    cells[Column::Place] = row.place;
    cells[Column::Verdict] = row.Conclusion();
    cells[Column::Digest] = row.digest;
    if (row.readable && !row.markerOutOfRange)
        cells[Column::Limit] = LimitText(row.limit, nf);
    if (row.readable && !row.illuminanceMarkerOutOfRange && row.illuminanceNorm)
        cells[Column::IlluminanceNorm] = LimitText(*row.illuminanceNorm, nf);
    if (!row.Usable())
        return cells;
    cells[Column::Illuminance] = analysis::IlluminanceText(m, nf);
    cells[Column::IlluminanceUncertainty] = OptionalText(row.illuminanceUncertainty, std::max(0, -m.exponent), nf);
    cells[Column::IlluminanceVerdict] = VerdictText(row.illuminanceVerdict);
    cells[Column::Pulsation] = analysis::PulsationText(m, nf);
    cells[Column::PulsationUncertainty] = OptionalText(row.pulsationUncertainty, 1, nf);
    cells[Column::PulsationVerdict] = VerdictText(row.pulsationVerdict);
    cells[Column::Frequency] = OptionalText(m.frequency, 1, nf);
    cells[Column::PercentFlicker] = FormatFixed(m.percentFlicker, 1, nf);
    cells[Column::FlickerIndex] = OptionalText(m.flickerIndex, 3, nf);
    cells[Column::Svm] = OptionalText(m.svm, 3, nf);
    cells[Column::SvmBand] = m.svm ? FormatFixed(m.svmUpperHz, 0, nf) : std::string(analysis::kNone);
    cells[Column::Ieee1789] = analysis::Ieee1789Text(m.ieee);
    return cells;
}

std::string ProtocolCsv(const std::vector<ProtocolRow>& rows, const analysis::NumberFormat& nf)
{
    std::string csv = "\xEF\xBB\xBF";
    std::vector<std::string> titles;
    for (Column c : kColumns)
        titles.emplace_back(Info(c).title);
    AppendCsvLine(csv, titles);
    for (const auto& row : rows)
        AppendCsvLine(csv, CellsOf(row, nf).text);
    return csv;
}

const char* RoomColumnTitle(RoomColumn column)
{
    return kRoomTitles[static_cast<std::size_t>(column)].c_str();
}

std::vector<RoomRow> RoomsOf(const std::vector<ProtocolRow>& rows)
{
    std::vector<RoomRow> rooms;
    std::vector<double> sums;
    for (const ProtocolRow& row : rows) {
        if (row.room.empty())
            continue;
        auto it = std::find_if(rooms.begin(), rooms.end(), [&](const RoomRow& r) { return r.name == row.room; });
        if (it == rooms.end()) {
            rooms.push_back({row.room});
            sums.push_back(0.0);
            it = rooms.end() - 1;
        }
        RoomRow& room = *it;
        if (row.verdict == Verdict::Fails)
            ++room.failing;
        if (!row.Usable())
            continue;
        const double e = row.ShownIlluminance();
        room.min = room.points == 0 ? e : std::min(room.min, e);
        room.max = room.points == 0 ? e : std::max(room.max, e);
        room.pulsationMax =
            room.points == 0 ? row.metrics.pulsationPercent : std::max(room.pulsationMax, row.metrics.pulsationPercent);
        room.decimals = std::max(room.decimals, -row.metrics.exponent);
        sums[static_cast<std::size_t>(it - rooms.begin())] += e;
        ++room.points;
    }
    for (std::size_t i = 0; i < rooms.size(); ++i)
        if (rooms[i].points > 0)
            rooms[i].mean = sums[i] / rooms[i].points;
    return rooms;
}

std::array<std::string, kRoomColumnCount> RoomCells(const RoomRow& room, const analysis::NumberFormat& nf)
{
    using analysis::FormatFixed;
    std::array<std::string, kRoomColumnCount> cells;
    auto cell = [&](RoomColumn c) -> std::string& { return cells[static_cast<std::size_t>(c)]; };
    cell(RoomColumn::Room) = room.name;
    cell(RoomColumn::Points) = std::to_string(room.points);
    cell(RoomColumn::Failing) = std::to_string(room.failing);
    if (room.points == 0)
        return cells;
    cell(RoomColumn::Mean) = FormatFixed(room.mean, room.decimals, nf);
    cell(RoomColumn::Min) = FormatFixed(room.min, room.decimals, nf);
    cell(RoomColumn::Max) = FormatFixed(room.max, room.decimals, nf);
    cell(RoomColumn::Uniformity) = room.mean > 0 ? FormatFixed(room.min / room.mean, 2, nf) : analysis::kNone;
    cell(RoomColumn::PulsationMax) = FormatFixed(room.pulsationMax, 1, nf);
    return cells;
}

std::string RoomsCsv(const std::vector<RoomRow>& rooms, const analysis::NumberFormat& nf)
{
    std::string csv = "\xEF\xBB\xBF";
    AppendCsvLine(csv, kRoomTitles);
    for (const RoomRow& room : rooms)
        AppendCsvLine(csv, RoomCells(room, nf));
    return csv;
}

std::string RoomsCsvPath(const std::string& protocolCsvPath)
{
    std::string path = protocolCsvPath;
    const std::size_t dot = path.size() >= 4 ? path.size() - 4 : std::string::npos;
    std::string ending = dot == std::string::npos ? "" : path.substr(dot);
    for (char& c : ending)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ending == ".csv")
        return path.insert(dot, "_помещения");
    return path + "_помещения.csv";
}

namespace {

std::optional<double> ParsedNumber(const std::string& text)
{
    std::string s;
    for (char c : text)
        if (c != ' ')
            s += c == ',' ? '.' : c;
    double value = 0.0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size())
        return std::nullopt;
    return value;
}

}  // namespace

bool ParseLimit(const std::string& text, double& limit)
{
    return ParseNorm(text, Norm::Pulsation, limit);
}

bool ParseNorm(const std::string& text, Norm norm, double& value)
{
    const auto parsed = ParsedNumber(text);
    if (!parsed || !InRange(norm, *parsed) || !InRange(norm, ShownLimit(*parsed)))
        return false;
    value = ShownLimit(*parsed);
    return true;
}

bool ParseError(const std::string& text, double& percent)
{
    const auto parsed = ParsedNumber(text);
    if (!parsed || !(*parsed >= 0.0 && *parsed <= 100.0))
        return false;
    percent = *parsed;
    return true;
}

}  // namespace protocol
