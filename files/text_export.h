#pragma once
// The measurement as plain text: one row per sample shown on the chart, for
// a text file (code page 1251, CR LF, with a caption line and an origin line
// after the rows) or for the clipboard (LF after every row).

#include <string>
#include <string_view>
#include <vector>

#include "analysis/measurement.h"
#include "analysis/number_format.h"

namespace files {

inline constexpr const char* kFromFileLine = "Данные из файла ";
inline constexpr const char* kFromMemoryLine = "Данные из памяти совикана";

enum class ExportMode {
    Time,     // cbX item 0: milliseconds and lux
    Samples,  // cbX item 1: sample index and lux
};

struct ExportOrigin {
    bool fromFile = false;                  // "Данные из файла " + path, then the comment lines
    std::string path;                       // the file named by the origin line
    std::vector<std::string> commentLines;  // as the comment box lays them out
};

// The origin as the window decides it: from a file when the caption of the
// file group is longer than its five characters "ФАЙЛ " (counted as
// characters, not UTF-8 bytes).
ExportOrigin OriginFromCaption(std::string_view groupCaption, std::string currentFileName,
                               std::vector<std::string> commentLines);

// Rows for the samples first .. last (both included; FirstShownIndex and
// LastShownIndex of the chart), clipped to the record's samples; none when
// first or last is -1. Time mode "%8.4f\t%8.4f" (k * TimeMultiplier *
// SampleInterval, lux), sample mode "%3d\t%8.4f" (k, lux), where lux =
// Samples[k] * LuxFactor * RangeDecade. No line ends.
std::vector<std::string> ExportRows(const analysis::MeasurementRecord& record, int first, int last, ExportMode mode,
                                    const analysis::NumberFormat& nf);

// "  T,ms          Люксы" or "№выборки  Люксы".
std::string CaptionLine(ExportMode mode);

// All lines of the text file, UTF-8, without line ends.
std::vector<std::string> TextExportLines(const analysis::MeasurementRecord& record, int first, int last,
                                         ExportMode mode, const analysis::NumberFormat& nf, const ExportOrigin& origin);

// The text file's content: the lines, each ended by CR LF, in code page 1251.
// Raises EncodingError when a line holds characters 1251 cannot.
std::string TextExportBytes(const analysis::MeasurementRecord& record, int first, int last, ExportMode mode,
                            const analysis::NumberFormat& nf, const ExportOrigin& origin);

// Writes the text file whole, replacing an existing one. Raises EncodingError
// before anything is written; FileError with SaveFailedMessage when it cannot
// be written, what was there left as it was.
void WriteTextExport(const std::string& path, const analysis::MeasurementRecord& record, int first, int last,
                     ExportMode mode, const analysis::NumberFormat& nf, const ExportOrigin& origin);

// The clipboard text: the rows, each followed by LF; empty without rows.
std::string ClipboardText(const analysis::MeasurementRecord& record, int first, int last, ExportMode mode,
                          const analysis::NumberFormat& nf);

}  // namespace files
