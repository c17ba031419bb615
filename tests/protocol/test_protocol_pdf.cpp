#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "helpers/temp_folder.h"
#include "files/svk_file.h"
#include "protocol/qt/comparison_pdf.h"
#include "protocol/qt/protocol_pdf.h"

namespace {

std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

TEST(ProtocolPdf, PagesTextFontsAndVectorCharts)
{
    if (Shell("command -v pdftotext pdfinfo pdffonts pdfimages").empty())
        GTEST_SKIP() << "poppler-utils are not installed";
    test_support::TempFolder dir;
    for (int k = 0; k < 25; ++k) {
        analysis::MeasurementRecord r;
        r.SampleCount = 400;
        for (int i = 0; i < 400; ++i)
            r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(1000 + (i % (10 + k) < 5 ? 20 * k : 0));
        r.RangeIndex = 5;
        r.RangeDecade = 1.0;
        r.LuxFactor = 0.5f;
        r.TimeMultiplier = 1;
        r.SampleInterval = k % 2 ? 0.25f : 0.5f;
        // The first point's place too long for its cell: cut with an ellipsis.
        std::string place = "Кабинет " + std::to_string(k);
        for (int w = 0; k == 0 && w < 40; ++w)
            place += " слово";
        if (k == 0)
            place += " КОНЕЦ";
        files::WriteMeasurementFile(dir / ("m" + std::to_string(k) + ".svk"), r,
                                    place + "\r\nПомещение: Класс " + std::to_string(k % 3));
    }
    dir.Write("broken.svk", "x");
    protocol::ProtocolHeader header;
    header.organisation = "ООО «Светлый дом»";
    header.object = "Школа № 5, ул. Ленина, 1";
    header.method = "МИ 7-2026";
    header.normative = "СанПиН 1.2.3685-21";
    const auto rows = protocol::BuildProtocol(dir.Folder(), {});
    const std::string pdf = dir / "p.pdf";
    ASSERT_EQ(protocol::WriteProtocolPdfStandalone(pdf, header, rows, {}, {",", " "}), std::nullopt);

    const int pages = protocol::ProtocolPageCount({header, rows, {}, {}});
    EXPECT_GE(pages, 3);
    EXPECT_NE(Shell("pdfinfo '" + pdf + "'").find("Pages:           " + std::to_string(pages) + "\n"),
              std::string::npos);
    const std::string text = Shell("pdftotext '" + pdf + "' -");
    for (const std::string& expected :
         {std::string("ПРОТОКОЛ ИЗМЕРЕНИЙ"), header.organisation, header.method, header.normative,
          std::string("Кабинет 24"), std::string("не соответствует"), std::string("Измерения провёл:"),
          std::string("Страница 1 из ") + std::to_string(pages),
          "Страница " + std::to_string(pages) + " из " + std::to_string(pages), std::string("* SVM учитывает"),
          std::string("Сводка по точкам протокола"), std::string("Частота F, Гц"), std::string("без результата — 1"),
          std::string("Помещения"), std::string("Класс 2"), std::string("Контрольные суммы файлов"), rows[0].digest,
          std::string("…")})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    EXPECT_EQ(text.find("КОНЕЦ"), std::string::npos);
    EXPECT_EQ(text.find("54945"), std::string::npos);  // no method but the one entered
    // Every font embedded; no picture anywhere (the charts are lines and text).
    const std::string fonts = Shell("pdffonts '" + pdf + "'");
    EXPECT_NE(fonts.find("LiberationSans"), std::string::npos);
    for (std::size_t at = fonts.find("\n", fonts.find("----")); at != std::string::npos && at + 1 < fonts.size();
         at = fonts.find('\n', at + 1))
        EXPECT_NE(fonts.substr(at + 1, fonts.find('\n', at + 1) - at - 1).find("yes"), std::string::npos);
    const std::string images = Shell("pdfimages -list '" + pdf + "'");
    EXPECT_EQ(std::count(images.begin(), images.end(), '\n'), 2) << images;

    const auto failed = protocol::WriteProtocolPdfStandalone(dir / "no/such/folder.pdf", header, rows, {}, {});
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->rfind("Не удалось записать файл", 0), 0u);
}

TEST(ComparisonPdf, PagesCountsAndBothFoldersDigests)
{
    if (Shell("command -v pdftotext pdfinfo").empty())
        GTEST_SKIP() << "poppler-utils are not installed";
    // 40 points before, 39 after: the table over pages, the rooms, the appendix over pages.
    test_support::TempFolder before, after;
    for (int k = 0; k < 40; ++k) {
        analysis::MeasurementRecord r;
        r.SampleCount = 400;
        for (int i = 0; i < 400; ++i)
            r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(1000 + (i % 20 < 10 ? 10 * k : 0));
        r.RangeIndex = 5;
        r.RangeDecade = 1.0;
        r.LuxFactor = 0.5f;
        r.TimeMultiplier = 1;
        r.SampleInterval = 0.25f;
        const std::string name = "m" + std::to_string(k) + ".svk";
        const std::string comment = "Место " + std::to_string(k) + "\r\nПомещение: Класс " + std::to_string(k % 4);
        files::WriteMeasurementFile(before / name, r, comment);
        if (k != 7)
            files::WriteMeasurementFile(after / name, r, comment);
    }
    protocol::PaperComparison paper;
    paper.header.object = "Школа № 5";
    paper.beforeFolder = "2025";
    paper.afterFolder = "2026";
    paper.comparison =
        protocol::Compare(protocol::BuildProtocol(before.Folder(), {}), protocol::BuildProtocol(after.Folder(), {}));
    paper.nf = {",", " "};
    const std::string pdf = after / "c.pdf";
    ASSERT_EQ(protocol::WriteComparisonPdfStandalone(pdf, paper), std::nullopt);

    const int pages = protocol::ComparisonPageCount(paper);
    EXPECT_GE(pages, 6);
    EXPECT_NE(Shell("pdfinfo '" + pdf + "'").find("Pages:           " + std::to_string(pages) + "\n"),
              std::string::npos);
    const std::string text = Shell("pdftotext '" + pdf + "' -");
    for (const std::string& expected :
         {std::string("Сравнение обследований"), std::string("Школа № 5"), std::string("Изменение"),
          std::string("Место 39"), std::string("без изменений — 39"), std::string("только до — 1"),
          std::string("Кп max после, %"), std::string("Обследование «после»: 2026"), paper.comparison.before[0].digest,
          paper.comparison.after.back().digest, "Страница " + std::to_string(pages) + " из " + std::to_string(pages)})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;

    EXPECT_TRUE(protocol::WriteComparisonPdfStandalone(after / "no/such/folder.pdf", paper));
}

}  // namespace
