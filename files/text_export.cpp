#include "files/text_export.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "files/atomic_file.h"
#include "files/cp1251.h"
#include "files/file_error.h"

namespace files {

namespace {

std::size_t CharCount(std::string_view utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

ExportOrigin OriginFromCaption(std::string_view groupCaption, std::string currentFileName,
                               std::vector<std::string> commentLines)
{
    ExportOrigin origin;
    origin.fromFile = CharCount(groupCaption) > 5;
    if (origin.fromFile) {
        origin.path = std::move(currentFileName);
        origin.commentLines = std::move(commentLines);
    }
    return origin;
}

std::vector<std::string> ExportRows(const analysis::MeasurementRecord& record, int first, int last, ExportMode mode,
                                    const analysis::NumberFormat& nf)
{
    std::vector<std::string> rows;
    if (first < 0 || last < 0)
        return rows;
    const int count = std::clamp<int>(record.SampleCount, 0, analysis::kSampleCapacity);
    last = std::min(last, count - 1);
    for (int k = first; k <= last; ++k) {
        const double lux =
            record.Samples[static_cast<std::size_t>(k)] * static_cast<double>(record.LuxFactor) * record.RangeDecade;
        std::string row;
        if (mode == ExportMode::Time) {
            const double ms =
                static_cast<double>(k * record.TimeMultiplier) * static_cast<double>(record.SampleInterval);
            row = analysis::FormatFixed(ms, 4, nf, 8);
        } else {
            row = analysis::FormatInt(k, 3);
        }
        row += '\t';
        row += analysis::FormatFixed(lux, 4, nf, 8);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string CaptionLine(ExportMode mode)
{
    return mode == ExportMode::Time ? "  T,ms          Люксы" : "№выборки  Люксы";
}

std::vector<std::string> TextExportLines(const analysis::MeasurementRecord& record, int first, int last,
                                         ExportMode mode, const analysis::NumberFormat& nf, const ExportOrigin& origin)
{
    std::vector<std::string> lines = ExportRows(record, first, last, mode, nf);
    lines.push_back(CaptionLine(mode));
    if (origin.fromFile) {
        lines.push_back(kFromFileLine + origin.path);
        lines.insert(lines.end(), origin.commentLines.begin(), origin.commentLines.end());
    } else {
        lines.push_back(kFromMemoryLine);
    }
    return lines;
}

std::string TextExportBytes(const analysis::MeasurementRecord& record, int first, int last, ExportMode mode,
                            const analysis::NumberFormat& nf, const ExportOrigin& origin)
{
    std::string text;
    for (const auto& line : TextExportLines(record, first, last, mode, nf, origin)) {
        text += line;
        text += "\r\n";
    }
    return EncodeCp1251OrThrow(text);
}

void WriteTextExport(const std::string& path, const analysis::MeasurementRecord& record, int first, int last,
                     ExportMode mode, const analysis::NumberFormat& nf, const ExportOrigin& origin)
{
    const std::string bytes = TextExportBytes(record, first, last, mode, nf, origin);
    if (const int error = WriteFileWhole(path, bytes); error != 0)
        throw FileError(SaveFailedMessage(path, error));
}

std::string ClipboardText(const analysis::MeasurementRecord& record, int first, int last, ExportMode mode,
                          const analysis::NumberFormat& nf)
{
    std::string text;
    for (const auto& row : ExportRows(record, first, last, mode, nf)) {
        text += row;
        text += '\n';
    }
    return text;
}

}  // namespace files
