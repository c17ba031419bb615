// The measurement protocol of a folder of 1 000 measurement files in 200
// rooms: reading, digesting and analysing them with both CSVs written (the
// points' and the rooms'; target under 1 s), and the PDF with a chart per
// point, the rooms' page and the digests' appendix (target under 5 s); then
// the comparison of that survey with a second one of the same points (both
// read, matched, and the comparison's CSV written; target under 2 s), and
// the comparison's PDF.
// Wall-clock times, best of 3.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>

#include "files/svk_file.h"
#include "protocol/core/comparison.h"
#include "protocol/core/protocol.h"
#ifdef BENCH_WITH_PDF
#include "protocol/qt/comparison_pdf.h"
#include "protocol/qt/protocol_pdf.h"
#endif

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

constexpr int kFiles = 1000;

// A survey of kFiles points in rooms of five; `seed` varies the light.
void WriteSurvey(const std::filesystem::path& dir, unsigned seed)
{
    std::filesystem::create_directories(dir);
    std::mt19937 rng(seed);
    for (int k = 0; k < kFiles; ++k) {
        analysis::MeasurementRecord r;
        r.SampleCount = 400;
        const int period = 8 + static_cast<int>(rng() % 120);
        const double depth = static_cast<double>(rng() % 60) / 100.0;
        for (int i = 0; i < 400; ++i)
            r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(
                std::lround(2000.0 * (1.0 + depth * std::sin(2 * std::numbers::pi * i / period)) + rng() % 20));
        r.RangeIndex = static_cast<std::uint8_t>(1 + rng() % 8);
        r.RangeDecade = analysis::RangeDecadeFor(r.RangeIndex);
        r.LuxFactor = 0.5f;
        r.TimeMultiplier = 1;
        r.SampleInterval = 0.25f;
        char name[32];
        std::snprintf(name, sizeof name, "point%04d.svk", k);
        files::WriteMeasurementFile((dir / name).string(), r,
                                    "Место " + std::to_string(k) + (k % 10 == 0 ? "\r\nКп<=10" : "") +
                                        (k % 7 == 0 ? " Е>=300" : "") + "\r\nПомещение: Кабинет " +
                                        std::to_string(k / 5));
    }
}

}  // namespace

int main()
{
    std::random_device rd;
    const auto dir = std::filesystem::temp_directory_path() / ("sovikan-protocol-bench-" + std::to_string(rd()));
    WriteSurvey(dir, 1);
    const std::string folder = dir.string() + "/";
    const analysis::NumberFormat nf{",", " "};
    const protocol::Judging judging{5.0, 200.0, 8.0, 10.0};

    double csvBest = 1e9;
    std::vector<protocol::ProtocolRow> rows;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        rows = protocol::BuildProtocol(folder, judging);
        std::ofstream((dir / "protocol.csv").string(), std::ios::binary) << protocol::ProtocolCsv(rows, nf);
        std::ofstream((dir / "protocol_помещения.csv").string(), std::ios::binary)
            << protocol::RoomsCsv(protocol::RoomsOf(rows), nf);
        csvBest = std::min(csvBest, Seconds(start));
    }
    std::printf("protocol CSV and rooms CSV, %d files with digests, %zu rooms: %.3f s (target < 1 s)\n", kFiles,
                protocol::RoomsOf(rows).size(), csvBest);

#ifdef BENCH_WITH_PDF
    double pdfBest = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const auto rowsNow = protocol::BuildProtocol(folder, judging);
        if (const auto error =
                protocol::WriteProtocolPdfStandalone((dir / "protocol.pdf").string(), {}, rowsNow, judging, nf)) {
            std::printf("PDF failed: %s\n", error->c_str());
            return 1;
        }
        pdfBest = std::min(pdfBest, Seconds(start));
    }
    std::printf("protocol PDF, %d files (read, digested, analysed, %d pages: a chart each, rooms, digests): %.3f s "
                "(target < 5 s), %.1f MB\n",
                kFiles, protocol::ProtocolPageCount({{}, rows, judging, nf}), pdfBest,
                static_cast<double>(std::filesystem::file_size(dir / "protocol.pdf")) / 1e6);
#endif

    const auto after = dir / "после";
    WriteSurvey(after, 2);
    double compareBest = 1e9;
    std::size_t compared = 0;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const auto comparison = protocol::Compare(protocol::BuildProtocol(folder, judging),
                                                  protocol::BuildProtocol(after.string() + "/", judging));
        std::ofstream((dir / "comparison.csv").string(), std::ios::binary) << protocol::ComparisonCsv(comparison, nf);
        compareBest = std::min(compareBest, Seconds(start));
        compared = comparison.points.size();
    }
    std::printf("comparison CSV, %d files before and %d after (read, digested, analysed, matched), %zu rows: %.3f s "
                "(target < 2 s)\n",
                kFiles, kFiles, compared, compareBest);
#ifdef BENCH_WITH_PDF
    double comparePdfBest = 1e9;
    int comparePages = 0;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        protocol::PaperComparison paper{{}, judging, folder, after.string(), {}, nf};
        paper.comparison = protocol::Compare(protocol::BuildProtocol(folder, judging),
                                             protocol::BuildProtocol(after.string() + "/", judging));
        if (const auto error = protocol::WriteComparisonPdfStandalone((dir / "comparison.pdf").string(), paper)) {
            std::printf("comparison PDF failed: %s\n", error->c_str());
            return 1;
        }
        comparePdfBest = std::min(comparePdfBest, Seconds(start));
        comparePages = protocol::ComparisonPageCount(paper);
    }
    std::printf("comparison PDF, %d files before and %d after (%d pages: the table, arrows, rooms, both folders' "
                "digests): %.3f s\n",
                kFiles, kFiles, comparePages, comparePdfBest);
#endif
    std::filesystem::remove_all(dir);
    return 0;
}
