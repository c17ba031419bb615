// svktool: measurement files (*.svk) on the command line, with the same code
// the main window uses.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "analysis/flicker.h"
#include "analysis/number_format.h"
#include "analysis/period.h"
#include "analysis/statistics.h"
#include "files/atomic_file.h"
#include "files/comment_browser.h"
#include "files/cp1251.h"
#include "files/file_error.h"
#include "files/folder.h"
#include "files/platform.h"
#include "files/svk_file.h"
#include "files/text_export.h"
#include "protocol/core/comparison.h"
#include "protocol/core/memory_download.h"
#include "protocol/core/protocol.h"
#ifdef SVKTOOL_WITH_PDF
#include "protocol/qt/comparison_pdf.h"
#include "protocol/qt/protocol_pdf.h"
#endif

namespace {

// The usage of each command, as `svktool COMMAND --help` prints it;
// `svktool --help` prints them all.
struct CommandUsage {
    const char* name;
    const char* text;
};

constexpr CommandUsage kCommandUsage[] = {
    {"stats", R"(  svktool stats FILE...
      For each file, a line with its name, then the result box lines
      (mean, maximum, minimum, pulsation coefficient, relative deviation)
      and the correlation chart title (period and frequency), or the advice
      the window shows when no period is found. Smoothing 0, period shown.
)"},
    {"export", R"(  svktool export [--samples] [--cp1251] FILE
      The text export a ".txt" save of the opened file writes: one row per
      sample (time in ms and lux, or with --samples the sample number and
      lux), the caption line, "Данные из файла " with FILE as given, then
      the comment lines. Comment lines are written as stored, not wrapped at
      the width of the window's comment box. Lines end in CR LF; the text is
      UTF-8, or with --cp1251 code page 1251, byte for byte the file the
      window writes.
)"},
    {"spectrum", R"(  svktool spectrum FILE
      The amplitude spectrum the protocol's metrics of FILE rest on, one
      line each, fields separated by tabs: first the harmonics of the
      flicker frequency F up to half the sampling rate ("harmonic", its
      number, Hz, percent of the mean; none when the light has no F), then
      every line of the spectrum without 0 Hz ("spectrum", Hz, percent).
)"},
    {"comments", R"(  svktool comments DIR
      The comment browser's text for the folder DIR: for each *.svk file a
      line ===NAME:=== and the lines of its comment.
)"},
    {"protocol", R"(  svktool protocol DIR [--limit N] [--e-norm N] [--e-error P] [--kp-error P]
                   [--csv FILE] [--rooms-csv FILE] [--pdf FILE]
      The measurement protocol of the folder DIR: one row per *.svk file in
      the natural order of the names (numbers as numbers) with the room, the
      place, E with its uncertainty U(E), norm and verdict, Kп with U(Kп),
      norm and verdict, the point's verdict, F, PF, FI, SVM with the upper
      end of its band, the IEEE 1789 class and the SHA-256 digest of the
      file's bytes. Norms: "Кп<=N" anywhere in a file's comment sets its Kп
      limit (N percent, 0 to 100), "Е>=N" (Cyrillic or Latin E) its E norm
      (N lux, above 0 and up to 100 000); the first marker of each counts, one
      outside its range is reported in the verdict. Without a marker the
      point has --limit (5 unless given) and --e-norm (none unless given: E
      is then not judged). The verdict is simple acceptance: the value as
      shown against its norm. --e-error and --kp-error give the instrument's
      limits of permissible relative error P (percent) for E and Kп; then
      U = 2 * P * x / (100 * sqrt(3)) for x = E and x = Kп (coverage factor
      2, the error limit taken as a rectangular distribution), else U is "—".
      A comment line "Помещение: NAME" puts the point into the room NAME;
      --rooms-csv writes the rooms' table (points, mean, minimum and
      maximum E, Emin/Eср, the highest Kп, points failing), one row per room
      in the order of its first point. Without --csv the CSV goes to the
      standard output. The CSVs are UTF-8 with a byte-order mark, cells
      separated by ";". --pdf also writes the protocol as a PDF, its header
      fields left empty, ending with the files' digests. A file is written
      whole or not at all.
)"},
    {"compare", R"(  svktool compare DIR_BEFORE DIR_AFTER [--limit N] [--e-norm N] [--e-error P]
                   [--kp-error P] [--csv FILE] [--pdf FILE]
      Compares two protocols of one building: the survey "до" (before) in
      DIR_BEFORE and the survey "после" (after) in DIR_AFTER, each read as
      protocol reads its folder, with the same options. A point of one
      matches the point of the other with the same room and place
      ("Помещение" and "Место" compared with the blanks at their ends
      trimmed, letter case ignored, "ё" read as "е"); when a place occurs
      more than once in a room, the n-th matches the n-th in the natural
      order of the file names. One row per matched or unmatched point, in
      the order of DIR_AFTER's protocol, then the points found only in
      DIR_BEFORE in its order. The columns: the room and the place (as the
      "после" file spells them), E before and after (lux), ΔE (percent of E
      before, one decimal), Kп before and after (percent), ΔКп (percentage
      points, one decimal), each survey's verdict by the norms its own points
      carry ("Кп<=N", "Е>=N" or the defaults), and the change: "стало
      соответствовать", "перестало соответствовать", "без изменений", "только
      до", "только после", or "—" when one of a matched pair's files cannot
      be used. A file that cannot be used shows its reason in its verdict and
      has no deltas. Without --csv the CSV (UTF-8 with a byte-order mark,
      cells separated by ";") goes to the standard output. --pdf also writes
      the comparison as a PDF: the table, the IEEE 1789 chart with an arrow
      from each point's "до" position to its "после" one, the counts of each
      change, the rooms' mean E and highest Kп before and after, and the
      digests of both folders' files. A file is written whole or not at all.
      Exit status 0 when both folders were read, 1 when a folder holds no
      measurement file or a file could not be written, 2 for bad arguments.
)"},
    {"download", R"(  svktool download COMn DIR [--records A-B]
      Reads the records A to B (0 to 39 unless given) from the meter's
      memory through the port COMn and saves each as "Запись NN.svk" in the
      folder DIR (made when missing; not left behind when the port cannot
      be opened), with the bytes the main window's "Сохранить" writes after
      reading that record; its comment is "Запись NN" and when it was read.
      An existing file is never replaced: the name gets a number in
      brackets instead, (2), (3) ... One line per record, then a summary;
      when the line to the meter was lost, the port's own words about it
      follow on the standard error. Exit status 0 when every record was
      saved, 1 when some were not (each named with its reason), 2 for bad
      arguments or a port that cannot be opened.
)"},
};

constexpr const char* kHelpUsage = R"(  svktool [COMMAND] --help
      This text, or only its part for COMMAND; -h is the same.
)";

constexpr const char* kUsageEnd = R"(
Numbers use the decimal separator of the user's locale. Except for
download and compare, the exit status is 0 on success, 1 when a file
could not be used (the other files of the call are still reported), and
2 when the command line is wrong (this text then goes to the standard error).
)";

// The usage of the command the command line chose, or all of it.
std::string Usage(const CLI::App& app)
{
    const auto chosen = app.get_subcommands();
    const auto own = std::find_if(std::begin(kCommandUsage), std::end(kCommandUsage), [&](const CommandUsage& c) {
        return !chosen.empty() && chosen.front()->get_name() == c.name;
    });
    std::string text = "Usage:\n";
    if (own != std::end(kCommandUsage)) {
        text += own->text;
    } else {
        text += kHelpUsage;
        for (const CommandUsage& c : kCommandUsage)
            text += c.text;
    }
    return text + kUsageEnd;
}

analysis::NumberFormat UserNumberFormat()
{
    std::setlocale(LC_ALL, "");
    const std::lconv* lc = std::localeconv();
    analysis::NumberFormat nf;
    if (lc && lc->decimal_point && *lc->decimal_point)
        nf.decimalSeparator = lc->decimal_point;
    if (lc && lc->thousands_sep)
        nf.thousandSeparator = lc->thousands_sep;
    return nf;
}

void Fail(const std::string& message)
{
    std::cerr << "svktool: " << message << '\n';
}

int Stats(const std::vector<std::string>& paths, const analysis::NumberFormat& nf)
{
    int status = 0;
    for (const std::string& path : paths) {
        std::cout << path << '\n';
        try {
            const files::MeasurementFile file = files::ReadMeasurementFile(path);
            const analysis::MeasurementRecord& r = file.record;
            // The window's statistics after an open: end exclusive, as the reply processing calls it.
            const auto stats = analysis::ShowStatistics(r, 0, r.SampleCount - 1, nf);
            if (stats.lines)
                for (const auto& line : *stats.lines)
                    std::cout << line << '\n';
            const auto period = analysis::PeriodSearch(r, 0, true, nf);
            for (const auto& line : period.title)
                std::cout << line << '\n';
            if (period.showMessage)
                std::cout << analysis::kPeriodMessage << '\n';
        } catch (const files::FileError& e) {
            Fail(e.what());
            status = 1;
        }
    }
    return status;
}

int Export(const std::string& path, files::ExportMode mode, bool cp1251, const analysis::NumberFormat& nf)
{
    try {
        const files::MeasurementFile file = files::ReadMeasurementFile(path);
        files::ExportOrigin origin;
        origin.fromFile = true;
        origin.path = path;
        origin.commentLines = files::SplitLines(file.commentUtf8);
        const int last = file.record.SampleCount - 1;
        const int first = last >= 0 ? 0 : -1;
        std::string out;
        files::platform::SetBinaryStandardOutput();
        if (cp1251) {
            out = files::TextExportBytes(file.record, first, last, mode, nf, origin);
        } else {
            for (const auto& line : files::TextExportLines(file.record, first, last, mode, nf, origin))
                out += line + "\r\n";
        }
        std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
        std::cout.flush();
        return std::cout ? 0 : 1;
    } catch (const files::FileError& e) {
        Fail(e.what());
        return 1;
    }
}

int Spectrum(const std::string& path, const analysis::NumberFormat& nf)
{
    try {
        const files::MeasurementFile file = files::ReadMeasurementFile(path);
        const analysis::FlickerSpectrum spectrum = analysis::ComputeFlickerSpectrum(file.record);
        if (!spectrum.unusable.empty()) {
            Fail(path + ": " + spectrum.unusable);
            return 1;
        }
        for (std::size_t k = 0; k < spectrum.harmonics.size(); ++k)
            std::cout << "harmonic\t" << k + 1 << '\t' << analysis::FormatFixed(spectrum.harmonics[k].hz, 2, nf) << '\t'
                      << analysis::FormatFixed(spectrum.harmonics[k].percent, 3, nf) << '\n';
        for (const analysis::SpectrumLine& line : spectrum.lines)
            std::cout << "spectrum\t" << analysis::FormatFixed(line.hz, 2, nf) << '\t'
                      << analysis::FormatFixed(line.percent, 3, nf) << '\n';
        std::cout.flush();
        return std::cout ? 0 : 1;
    } catch (const files::FileError& e) {
        Fail(e.what());
        return 1;
    }
}

int Comments(std::string folder)
{
    if (!files::NamePart(folder).empty())
        folder += '/';
    const auto listing = files::ListSvkEntries(folder);
    if (listing.empty()) {
        Fail(files::kChoosePathMessage);
        return 1;
    }
    const auto gathered = files::GatherComments(folder, listing);
    for (const auto& line : gathered.lines)
        std::cout << line << '\n';
    if (gathered.error) {
        Fail(*gathered.error);
        return 1;
    }
    return 0;
}

struct ProtocolOptions {
    std::optional<std::string> limit, eNorm, eError, kpError;
    std::string csvPath, roomsCsvPath, pdfPath;
};

// The judging the options give; false (and the message) when one is wrong.
bool JudgingOf(const ProtocolOptions& o, protocol::Judging& j)
{
    double value = 0.0;
    if (o.limit && !protocol::ParseLimit(*o.limit, j.limit)) {
        Fail("неверная норма Кп: " + *o.limit + " (нужно число от 0 до 100)");
        return false;
    }
    if (o.eNorm && !protocol::ParseNorm(*o.eNorm, protocol::Norm::Illuminance, value)) {
        Fail("неверная норма E: " + *o.eNorm + " (нужно число больше 0 и не больше 100 000)");
        return false;
    }
    if (o.eNorm)
        j.illuminanceNorm = value;
    for (const auto& [text, error, what] :
         {std::tuple{&o.eError, &j.illuminanceError, "E"}, std::tuple{&o.kpError, &j.pulsationError, "Кп"}}) {
        if (!*text)
            continue;
        if (!protocol::ParseError(**text, value)) {
            Fail(std::string("неверная погрешность ") + what + ": " + **text + " (нужно число от 0 до 100)");
            return false;
        }
        *error = value;
    }
    return true;
}

// A CSV to the file `path` (whole or not at all), or without a path to the
// standard output; false (and the message) when it could not be written.
bool WriteCsv(const std::string& path, const std::string& csv)
{
    if (path.empty()) {
        files::platform::SetBinaryStandardOutput();
        std::cout.write(csv.data(), static_cast<std::streamsize>(csv.size()));
        std::cout.flush();
    } else if (const int error = files::WriteFileWhole(path, csv)) {
        Fail("не удалось записать файл " + path + ": " + files::SystemErrorText(error));
        return false;
    }
    return true;
}

int Protocol(std::string folder, const ProtocolOptions& options, const analysis::NumberFormat& nf)
{
    protocol::Judging judging;
    if (!JudgingOf(options, judging))
        return 2;
    const std::string& csvPath = options.csvPath;
    const std::string& pdfPath = options.pdfPath;
    folder = protocol::FolderWithSeparator(folder);
    const auto rows = protocol::BuildProtocol(folder, judging);
    if (rows.empty()) {
        Fail(files::kChoosePathMessage);
        return 1;
    }
    if (!WriteCsv(csvPath, protocol::ProtocolCsv(rows, nf)))
        return 1;
    if (!options.roomsCsvPath.empty()) {
        if (const int error =
                files::WriteFileWhole(options.roomsCsvPath, protocol::RoomsCsv(protocol::RoomsOf(rows), nf))) {
            Fail("не удалось записать файл " + options.roomsCsvPath + ": " + files::SystemErrorText(error));
            return 1;
        }
    }
    if (!pdfPath.empty()) {
#ifdef SVKTOOL_WITH_PDF
        if (const auto error =
                protocol::WriteProtocolPdfStandalone(pdfPath, protocol::ProtocolHeader{}, rows, judging, nf)) {
            Fail(*error);
            return 1;
        }
#else
        Fail("эта сборка svktool не пишет PDF");
        return 1;
#endif
    }
    int status = 0;
    for (const auto& row : rows)
        if (row.verdict == protocol::Verdict::Unusable)
            status = 1;
    return status;
}

int Compare(std::string before, std::string after, const ProtocolOptions& options, const analysis::NumberFormat& nf)
{
    protocol::Judging judging;
    if (!JudgingOf(options, judging))
        return 2;
    before = protocol::FolderWithSeparator(before);
    after = protocol::FolderWithSeparator(after);
    auto beforeRows = protocol::BuildProtocol(before, judging);
    auto afterRows = protocol::BuildProtocol(after, judging);
    if (beforeRows.empty() || afterRows.empty()) {
        Fail(files::kChoosePathMessage);
        return 1;
    }
    const protocol::Comparison comparison = protocol::Compare(std::move(beforeRows), std::move(afterRows));
    if (!WriteCsv(options.csvPath, protocol::ComparisonCsv(comparison, nf)))
        return 1;
    if (!options.pdfPath.empty()) {
#ifdef SVKTOOL_WITH_PDF
        const protocol::PaperComparison paper{protocol::ProtocolHeader{}, judging,    files::DisplayText(before),
                                              files::DisplayText(after),  comparison, nf};
        if (const auto error = protocol::WriteComparisonPdfStandalone(options.pdfPath, paper)) {
            Fail(*error);
            return 1;
        }
#else
        Fail("эта сборка svktool не пишет PDF");
        return 1;
#endif
    }
    return 0;
}

bool ParseComPort(const std::string& text, int& com)
{
    if (text.size() < 4 || (text.compare(0, 3, "COM") != 0 && text.compare(0, 3, "com") != 0))
        return false;
    int value = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || value > 255)
            return false;
        value = value * 10 + (text[i] - '0');
    }
    if (value < 1 || value > 255)
        return false;
    com = value;
    return true;
}

int Download(const std::string& port, const std::string& folderName, const std::optional<std::string>& records)
{
    protocol::DownloadRequest request;
    if (records && !protocol::ParseRecordRange(*records, request.first, request.last)) {
        Fail("неверный диапазон записей: " + *records + " (нужно A-B, номера от 0 до 39)");
        return 2;
    }
    if (!ParseComPort(port, request.com)) {
        Fail("неверное имя порта: " + port + " (нужно COMn, n от 1 до 255)");
        return 2;
    }
    request.folder = folderName;  // made by the download once the port is open
    protocol::MemoryDownload download;
    const protocol::DownloadResult result = download.Run(request, [](const protocol::DownloadedRecord& r) {
        std::cout << protocol::RecordPlace(r.number) << ": " << (r.saved ? r.fileName : "не сохранена: " + r.problem)
                  << std::endl;
    });
    if (!result.openError.empty()) {
        Fail(result.openError);
        return 2;
    }
    for (const std::string& line : result.Summary())
        std::cout << line << '\n';
    std::cout.flush();
    // What the window keeps behind "Подробности": the port's and the system's own words.
    if (!result.endDetails.empty())
        Fail("подробности: " + result.endDetails);
    return result.AllSaved() ? 0 : 1;
}

// What an option given on the command line holds, or nothing when it was not given.
std::optional<std::string> Given(const CLI::Option* option, const std::string& value)
{
    return option->count() ? std::optional<std::string>(value) : std::nullopt;
}

int RunCommand(int argc, char** argv)
{
    const analysis::NumberFormat nf = UserNumberFormat();
    // Every command's own usage is its help; the parser's texts are not used.
    // One command runs, so commands share the variables of their arguments.
    CLI::App app("", "svktool");
    app.require_subcommand(1);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    std::vector<std::string> paths;
    CLI::App* stats = app.add_subcommand("stats");
    stats->add_option("FILE", paths)->required();

    std::string path;
    bool samples = false;
    bool cp1251 = false;
    CLI::App* exportText = app.add_subcommand("export");
    exportText->add_flag("--samples", samples);
    exportText->add_flag("--cp1251", cp1251);
    exportText->add_option("FILE", path)->required();

    CLI::App* spectrum = app.add_subcommand("spectrum");
    spectrum->add_option("FILE", path)->required();

    std::string folder;
    CLI::App* comments = app.add_subcommand("comments");
    comments->add_option("DIR", folder)->required();

    ProtocolOptions protocolOptions;
    std::string limit, eNorm, eError, kpError;
    CLI::App* protocolTable = app.add_subcommand("protocol");
    protocolTable->add_option("DIR", folder)->required()->check([](const std::string& dir) {
        return dir.empty() ? std::string("no folder") : std::string();
    });
    const CLI::Option* limitOption = protocolTable->add_option("--limit", limit);
    const CLI::Option* eNormOption = protocolTable->add_option("--e-norm", eNorm);
    const CLI::Option* eErrorOption = protocolTable->add_option("--e-error", eError);
    const CLI::Option* kpErrorOption = protocolTable->add_option("--kp-error", kpError);
    protocolTable->add_option("--csv", protocolOptions.csvPath);
    protocolTable->add_option("--rooms-csv", protocolOptions.roomsCsvPath);
    protocolTable->add_option("--pdf", protocolOptions.pdfPath);

    std::string after;
    CLI::App* compare = app.add_subcommand("compare");
    const auto nonEmpty = [](const std::string& dir) { return dir.empty() ? std::string("no folder") : std::string(); };
    compare->add_option("DIR_BEFORE", folder)->required()->check(nonEmpty);
    compare->add_option("DIR_AFTER", after)->required()->check(nonEmpty);
    const CLI::Option* compareLimit = compare->add_option("--limit", limit);
    const CLI::Option* compareENorm = compare->add_option("--e-norm", eNorm);
    const CLI::Option* compareEError = compare->add_option("--e-error", eError);
    const CLI::Option* compareKpError = compare->add_option("--kp-error", kpError);
    compare->add_option("--csv", protocolOptions.csvPath);
    compare->add_option("--pdf", protocolOptions.pdfPath);

    std::string port;
    std::string records;
    CLI::App* download = app.add_subcommand("download");
    download->add_option("COMn", port)->required();
    download->add_option("DIR", folder)->required();
    const CLI::Option* recordsOption = download->add_option("--records", records);

    // `svktool help` is `svktool --help`.
    app.add_subcommand("help")->group("")->allow_extras();

    // The parser takes the arguments last first.
    std::vector<std::string> args = files::platform::CommandLineArguments(argc, argv);
    std::reverse(args.begin(), args.end());
    try {
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::cout << Usage(app);
        return 0;
    } catch (const CLI::ParseError&) {
        std::cerr << Usage(app);
        return 2;
    }
    if (stats->parsed())
        return Stats(paths, nf);
    if (exportText->parsed())
        return Export(path, samples ? files::ExportMode::Samples : files::ExportMode::Time, cp1251, nf);
    if (spectrum->parsed())
        return Spectrum(path, nf);
    if (comments->parsed())
        return Comments(folder);
    if (protocolTable->parsed()) {
        protocolOptions.limit = Given(limitOption, limit);
        protocolOptions.eNorm = Given(eNormOption, eNorm);
        protocolOptions.eError = Given(eErrorOption, eError);
        protocolOptions.kpError = Given(kpErrorOption, kpError);
        return Protocol(folder, protocolOptions, nf);
    }
    if (compare->parsed()) {
        protocolOptions.limit = Given(compareLimit, limit);
        protocolOptions.eNorm = Given(compareENorm, eNorm);
        protocolOptions.eError = Given(compareEError, eError);
        protocolOptions.kpError = Given(compareKpError, kpError);
        return Compare(folder, after, protocolOptions, nf);
    }
    if (download->parsed())
        return Download(port, folder, Given(recordsOption, records));
    std::cout << Usage(app);  // help
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The last resort: whatever a command failed to catch ends it with a message.
    try {
        return RunCommand(argc, argv);
    } catch (const std::exception& e) {
        Fail(std::string("внутренняя ошибка программы: ") + e.what());
        return 2;
    }
}
