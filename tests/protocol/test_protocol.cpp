#include <gtest/gtest.h>

#include <filesystem>

#include "helpers/sampled_record.h"
#include "helpers/temp_folder.h"
#include "files/cp1251.h"
#include "files/svk_file.h"
#include "protocol/core/cell_edit.h"
#include "protocol/core/file_digest.h"
#include "protocol/core/point_markers.h"
#include "protocol/core/natural_order.h"
#include "protocol/core/protocol.h"

namespace {

using protocol::Column;

const analysis::NumberFormat kComma{",", " "};

// Kп = depth / 10 % (range 5, one lux per unit, a mean of 1000).
analysis::MeasurementRecord Ripple(int depth = 100)
{
    return SampledRecord(400, 1.0f, [depth](int i) { return i % 40 < 20 ? 1000 + depth : 1000 - depth; });
}

// The file's bytes: the record's header and samples, then the comment bytes as given.
std::string FileBytes(const std::string& commentBytes)
{
    return files::EncodeMeasurement(Ripple(), 400, commentBytes);
}

TEST(ProtocolCsv, CommaSeparatorQuotingAndLimitText)
{
    test_support::TempFolder dir;
    auto r = Ripple();
    r.RangeIndex = 4;  // a tenth of a lux per unit
    r.RangeDecade = analysis::RangeDecadeFor(4);
    files::WriteMeasurementFile(dir / "a.svk", r, "Цех; линия \"А\"\r\nКп<=12,5\r\nПомещение: 101");
    const auto rows = protocol::BuildProtocol(dir.Folder(), {});
    ASSERT_EQ(rows.size(), 1u);
    // 200 samples at 1100, 199 at 900: M = 1000 e-1, Kп = 200 / 2 / 1000 = 0.100; F = 100 Hz; PF = 10 %;
    // SVM from the square's fundamental 0.1 * 4 / pi over T(100) = 0.497, its harmonics adding 0.001.
    EXPECT_EQ(
        protocol::ProtocolCsv(rows, kComma),
        "\xEF\xBB\xBF№;Файл;Помещение;Место;E, лк;U(E), лк;Норма E, лк;Вывод по E;Кп, %;U(Кп), %;Норма Кп, %;"
        "Вывод по Кп;Вывод;F, Гц;PF, %;FI;SVM;SVM до, Гц;IEEE 1789;SHA-256\r\n"
        "1;a.svk;101;\"Цех; линия \"\"А\"\"\";100,0;—;;—;10,0;—;12,5;соответствует;соответствует;100,0;10,0;0,050;"
        "0,498;2000;риск;" +
            protocol::Sha256Hex(dir.Read("a.svk")) + "\r\n");
    double limit = 0;
    EXPECT_TRUE(protocol::ParseLimit("2,5", limit));
    EXPECT_EQ(limit, 2.5);
    EXPECT_FALSE(protocol::ParseLimit("101", limit));
    EXPECT_FALSE(protocol::ParseLimit("5x", limit));
    EXPECT_EQ(protocol::LimitText(5.0, kComma), "5");
    EXPECT_EQ(protocol::PulsationVerdict(5.0, 5.0), protocol::Verdict::Complies);
    EXPECT_EQ(protocol::PulsationVerdict(5.1, 5.0), protocol::Verdict::Fails);
}

TEST(ProtocolCsv, DigestOfAKnownVector)
{
    EXPECT_EQ(protocol::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(protocol::Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(ProtocolCsv, UncertaintyOnTheWorkedValues)
{
    EXPECT_NEAR(protocol::ExpandedUncertainty(500, 8), 46.2, 0.05);
    EXPECT_NEAR(protocol::ExpandedUncertainty(10, 10), 1.15, 0.005);
    // In the cells with the value's own decimals: E of range 5 none, Kп one.
    test_support::TempFolder dir;
    files::WriteMeasurementFile(dir / "a.svk", Ripple(100), "");  // E 1000, Kп 10,0
    const auto rows = protocol::BuildProtocol(dir.Folder(), {5.0, std::nullopt, 8.0, 10.0});
    const auto cells = protocol::CellsOf(rows.at(0), kComma);
    EXPECT_EQ(cells[Column::IlluminanceUncertainty] + " " + cells[Column::PulsationUncertainty], "92 1,2");
}

TEST(ProtocolCsv, CellsThatSpreadsheetsTakeForFormulasGetAnApostrophe)
{
    const std::pair<std::string, std::string> cases[] = {
        {"=HYPERLINK(1)", "'=HYPERLINK(1)"},
        {"+7 кабинет", "'+7 кабинет"},
        {"-", "'-"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"-5", "-5"},
        {"+7,5", "+7,5"},
        {"Кабинет =1", "Кабинет =1"},
    };
    std::vector<protocol::ProtocolRow> rows;
    for (const auto& [place, cell] : cases) {
        rows.emplace_back();
        rows.back().place = place;
        rows.back().problem = "—";
    }
    const std::string csv = protocol::ProtocolCsv(rows, kComma);
    std::size_t at = csv.find("\r\n") + 2;
    for (const auto& [place, cell] : cases) {
        EXPECT_EQ(csv.substr(at, 5 + cell.size()), "0;;;" + cell + ";") << place;
        at = csv.find("\r\n", at) + 2;
    }
}

TEST(NormMarker, FirstByPositionAnyCaseBlanksLookAlikesAndRange)
{
    using protocol::Norm;
    struct Case {
        Norm norm;
        const char* comment;
        std::optional<double> value;  // nullopt: no marker, or one out of range
        const char* text;             // the marker as found; nullptr: none
    };
    const Case cases[] = {
        {Norm::Pulsation, "Кабинет 12\r\nКп<=10", 10.0, "Кп<=10"},
        {Norm::Pulsation, "Склад Кп<= 2,5 %", 2.5, "Кп<= 2,5"},
        {Norm::Pulsation, "Кп <= 12", 12.0, "Кп <= 12"},
        {Norm::Pulsation, "Kп<=12", 12.0, "Kп<=12"},
        {Norm::Pulsation, "кП<=7.", 7.0, "кП<=7"},
        {Norm::Pulsation, "кп<=4, потом Кп<=9", 4.0, "кп<=4"},
        {Norm::Pulsation, "Кп<=4,9996", 5.0, "Кп<=4,9996"},
        {Norm::Pulsation, "Кп<=500", std::nullopt, "Кп<=500"},
        {Norm::Pulsation, "Кп<=-1", std::nullopt, "Кп<=-1"},
        {Norm::Pulsation, "Кабинет 12\r\nКп 10", std::nullopt, nullptr},
        {Norm::Pulsation, "Кп<=, Кп<=3", 3.0, "Кп<=3"},
        {Norm::Pulsation, "Е>=300", std::nullopt, nullptr},
        {Norm::Illuminance, "Кабинет\r\nЕ>=300", 300.0, "Е>=300"},
        {Norm::Illuminance, "е >= 200,5 лк", 200.5, "е >= 200,5"},
        {Norm::Illuminance, "E>=150 и Е>=500", 150.0, "E>=150"},  // Latin first
        {Norm::Illuminance, "e>=75.", 75.0, "e>=75"},
        {Norm::Illuminance, "Е>=100000", 100000.0, "Е>=100000"},
        {Norm::Illuminance, "Е>=0", std::nullopt, "Е>=0"},
        {Norm::Illuminance, "Е>=100001", std::nullopt, "Е>=100001"},
        {Norm::Illuminance, "Е>=-5", std::nullopt, "Е>=-5"},
        {Norm::Illuminance, "Е<=300 Кп<=5", std::nullopt, nullptr},
    };
    for (const Case& c : cases) {
        const auto m = protocol::FindNormMarker(c.comment, c.norm);
        ASSERT_EQ(m.has_value(), c.text != nullptr) << c.comment;
        if (!m)
            continue;
        EXPECT_EQ(m->text, c.text);
        EXPECT_EQ(m->value, c.value) << c.comment;
        EXPECT_EQ(std::string(c.comment).substr(m->at, m->length), c.text);
    }
}

TEST(NormMarker, WrittenInPlaceOfTheFirstOrOnALineOfItsOwn)
{
    using protocol::Norm;
    struct Case {
        Norm norm;
        const char* comment;
        std::optional<double> value;
        const char* expected;
    };
    const Case cases[] = {
        {Norm::Pulsation, "Склад Кп<= 2,5 % и Кп<=9", 7.0, "Склад Кп<=7 % и Кп<=9"},
        {Norm::Pulsation, "Кабинет", 2.5, "Кабинет\r\nКп<=2,5"},
        {Norm::Pulsation, "Кабинет\r\n", 0.125, "Кабинет\r\nКп<=0,125"},
        {Norm::Pulsation, "", 5.0, "\r\nКп<=5"},
        {Norm::Pulsation, "Кабинет\r\nКп<=10\r\nстол", std::nullopt, "Кабинет\r\nстол"},
        {Norm::Pulsation, "Кабинет\r\nКп<=10", std::nullopt, "Кабинет"},
        {Norm::Pulsation, "Склад Кп<=3 %", std::nullopt, "Склад  %"},
        {Norm::Pulsation, "Кабинет", std::nullopt, "Кабинет"},
        {Norm::Illuminance, "Кабинет Кп<=10", 300.0, "Кабинет Кп<=10\r\nЕ>=300"},
        {Norm::Illuminance, "Кабинет e>=200 Кп<=10", 0.5, "Кабинет Е>=0,5 Кп<=10"},
        {Norm::Illuminance, "Кабинет\r\nЕ>=300", std::nullopt, "Кабинет"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(protocol::WithNormMarker(c.comment, c.norm, c.value), c.expected) << c.comment;
}

TEST(Room, FoundAnyCaseTrimmedAndWrittenAsALine)
{
    EXPECT_EQ(protocol::FindRoom("Стол\r\n  помещение :  Кабинет 101 \r\nПомещение: 2"), "Кабинет 101");
    EXPECT_EQ(protocol::FindRoom("ПОМЕЩЕНИЕ:Холл"), "Холл");
    EXPECT_EQ(protocol::FindRoom("Стол; помещение: 5"), std::nullopt);  // not a line of its own
    EXPECT_EQ(protocol::FindRoom("Помещение:  "), std::nullopt);
    EXPECT_EQ(protocol::WithRoom("Стол\r\nпомещение:1\r\nКп<=5", "Холл"), "Стол\r\nПомещение: Холл\r\nКп<=5");
    EXPECT_EQ(protocol::WithRoom("Стол", " Холл "), "Стол\r\nПомещение: Холл");
    EXPECT_EQ(protocol::WithRoom("Стол\r\nПомещение: 1\r\nКп<=5", ""), "Стол\r\nКп<=5");
}

TEST(ProtocolRows, MarkersJudgedAsShownAndOutOfRangeReported)
{
    test_support::TempFolder dir;
    files::WriteMeasurementFile(dir / "a.svk", Ripple(50), "Кабинет\r\nКп<=4,9996");  // Kп 5,0
    files::WriteMeasurementFile(dir / "b.svk", Ripple(50), "Кабинет\r\nКп<=500");
    files::WriteMeasurementFile(dir / "c.svk", Ripple(50), "Кабинет\r\nКп<=-1 Е>=0");
    const auto rows = protocol::BuildProtocol(dir.Folder(), {});
    ASSERT_EQ(rows.size(), 3u);
    const auto a = protocol::CellsOf(rows[0], kComma);
    EXPECT_EQ(a[Column::Pulsation] + " " + a[Column::Limit] + " " + a[Column::Verdict], "5,0 5 соответствует");
    const auto b = protocol::CellsOf(rows[1], kComma);
    EXPECT_EQ(b[Column::Pulsation], "5,0");
    EXPECT_EQ(b[Column::Limit], "");
    EXPECT_EQ(b[Column::Verdict], "норма «Кп<=500» вне 0…100 %");
    EXPECT_EQ(protocol::CellsOf(rows[2], kComma)[Column::Verdict],
              "норма «Кп<=-1» вне 0…100 %; норма «Е>=0» вне 0…100 000 лк");
}

TEST(ProtocolRows, TheVerdictOfEveryCombinationOfTheTwo)
{
    // E 1000 lx, Kп 10 %; the norms as the comment gives them.
    struct Case {
        const char* comment;
        const char* byE;
        const char* byKp;
        const char* overall;
    };
    const Case cases[] = {
        {"Кп<=10", "—", "соответствует", "соответствует"},
        {"Кп<=9", "—", "не соответствует", "не соответствует"},
        {"Кп<=10 Е>=1000", "соответствует", "соответствует", "соответствует"},
        {"Кп<=10 Е>=1001", "не соответствует", "соответствует", "не соответствует"},
        {"Кп<=9 Е>=1000", "соответствует", "не соответствует", "не соответствует"},
        {"Кп<=9 Е>=1001", "не соответствует", "не соответствует", "не соответствует"},
    };
    for (const Case& c : cases) {
        test_support::TempFolder dir;
        files::WriteMeasurementFile(dir / "a.svk", Ripple(100), c.comment);
        const auto cells = protocol::CellsOf(protocol::ReadRow(dir.Folder(), "a.svk", {}), kComma);
        EXPECT_EQ(cells[Column::IlluminanceVerdict] + "|" + cells[Column::PulsationVerdict] + "|" +
                      cells[Column::Verdict],
                  std::string(c.byE) + "|" + c.byKp + "|" + c.overall)
            << c.comment;
    }
    // The header's default E norm judges the points without their own.
    test_support::TempFolder dir;
    files::WriteMeasurementFile(dir / "a.svk", Ripple(100), "Кп<=10");
    auto rows = protocol::BuildProtocol(dir.Folder(), {});
    protocol::ApplyJudging(rows, {5.0, 1200.0, std::nullopt, std::nullopt});
    EXPECT_EQ(protocol::CellsOf(rows[0], kComma)[Column::IlluminanceNorm], "1200");
    EXPECT_EQ(rows[0].verdict, protocol::Verdict::Fails);
}

TEST(ProtocolRows, RoomAggregatesOnASmallFolder)
{
    test_support::TempFolder dir;
    // E 1000 each (1001 with Kп 30 %); Kп 5, 10 and 30 %.
    const std::pair<const char*, std::string> files[] = {
        {"1.svk", "Помещение: 101"}, {"2.svk", "Помещение: Холл\r\nКп<=20"}, {"3.svk", "помещение : 101"},
        {"4.svk", "без помещения"},  {"6.svk", "Помещение: Холл"},           {"5.svk", "Помещение: 101"},
    };
    const int depth[] = {50, 100, 300, 100, 100, 0};
    for (std::size_t i = 0; i < std::size(files); ++i)
        files::WriteMeasurementFile(dir / files[i].first, Ripple(depth[i]), files[i].second);
    // Unusable (a mean of 0): in no aggregate.
    files::WriteMeasurementFile(dir / "7.svk", SampledRecord(400, 1.0f, [](int) { return 0; }), "Помещение: 101");
    auto rows = protocol::BuildProtocol(dir.Folder(), {});
    // A point of 1000 lx measured at 900.
    files::WriteMeasurementFile(dir / "5.svk", SampledRecord(400, 1.0f, [](int) { return 900; }), "Помещение: 101");
    rows[4] = protocol::ReadRow(dir.Folder(), "5.svk", {});
    std::string table;
    for (const auto& room : protocol::RoomsOf(rows)) {
        for (const std::string& cell : protocol::RoomCells(room, kComma))
            table += cell + ";";
        table += "\n";
    }
    EXPECT_EQ(table, "101;3;967;900;1001;0,93;30,0;1;\n"
                     "Холл;2;1000;1000;1000;1,00;10,0;1;\n");
    EXPECT_EQ(protocol::RoomsCsv({}, kComma),
              "\xEF\xBB\xBFПомещение;Точек;Eср, лк;Emin, лк;Emax, лк;Emin/Eср;Кп max, %;Не соответствуют\r\n");
    EXPECT_EQ(protocol::RoomsCsvPath("d/Протокол.csv"), "d/Протокол_помещения.csv");
}

TEST(ProtocolRows, NaturalOrderOfNames)
{
    std::vector<std::string> names{"Точка 10.svk", "точка 2.svk", "p19.svk", "Точка 9а.svk",
                                   "Точка 1.svk",  "P5.svk",      "p02.svk", "Точка 9.svk"};
    protocol::SortNaturally(names);
    EXPECT_EQ(names, (std::vector<std::string>{"p02.svk", "P5.svk", "p19.svk", "Точка 1.svk", "точка 2.svk",
                                               "Точка 9.svk", "Точка 9а.svk", "Точка 10.svk"}));

    test_support::TempFolder dir;
    for (const char* name : {"m10.svk", "M9.svk", "m1.svk"})
        files::WriteMeasurementFile(dir / name, Ripple(), "");
    std::string order;
    for (const auto& row : protocol::BuildProtocol(dir.Folder(), {}))
        order += std::to_string(row.number) + row.fileName + " ";
    EXPECT_EQ(order, "1m1.svk 2M9.svk 3m10.svk ");
}

#ifndef _WIN32
TEST(ProtocolRows, NamesInCodePage1251AreLegible)
{
    test_support::TempFolder dir;
    const std::string name = files::EncodeCp1251("Точка 1.svk").bytes;
    files::WriteMeasurementFile(dir / name, Ripple(), "");
    const auto rows = protocol::BuildProtocol(dir.Folder(), {});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fileName, name);  // the file is still found by its own bytes
    EXPECT_EQ(protocol::CellsOf(rows[0], kComma)[Column::File], "Точка 1.svk");
}
#endif

TEST(CellEdit, PlaceRoomAndNormsWrittenIntoTheFileTheRestByteForByte)
{
    using protocol::Norm;
    test_support::TempFolder dir;
    const std::string tail = std::string("\0после нуля", 11);
    dir.Write("a.svk", FileBytes(files::EncodeCp1251("Кабинет 1\r\nКп<=10\nстол").bytes + tail));
    ASSERT_EQ(protocol::WritePlace(dir / "a.svk", "Кабинет 2"), std::nullopt);
    ASSERT_EQ(protocol::WriteNorm(dir / "a.svk", Norm::Pulsation, "2,5"), std::nullopt);
    ASSERT_EQ(protocol::WriteNorm(dir / "a.svk", Norm::Illuminance, "300"), std::nullopt);
    ASSERT_EQ(protocol::WriteRoom(dir / "a.svk", "Класс 5"), std::nullopt);
    EXPECT_EQ(
        dir.Read("a.svk"),
        FileBytes(files::EncodeCp1251("Кабинет 2\r\nКп<=2,5\nстол\r\nЕ>=300\r\nПомещение: Класс 5").bytes + tail));

    // What the main window's reader makes of it.
    const auto file = files::ReadMeasurementFile(dir / "a.svk");
    EXPECT_EQ(file.commentUtf8, "Кабинет 2\r\nКп<=2,5\r\nстол\r\nЕ>=300\r\nПомещение: Класс 5");
    const auto row = protocol::ReadRow(dir.Folder(), "a.svk", {});
    EXPECT_EQ(row.place, "Кабинет 2");
    EXPECT_EQ(row.limit, 2.5);
    EXPECT_EQ(row.illuminanceNorm, 300.0);
    EXPECT_EQ(row.room, "Класс 5");

    // Blank cells: the defaults again, no room.
    for (Norm norm : {Norm::Pulsation, Norm::Illuminance})
        ASSERT_EQ(protocol::WriteNorm(dir / "a.svk", norm, " "), std::nullopt);
    ASSERT_EQ(protocol::WriteRoom(dir / "a.svk", ""), std::nullopt);
    EXPECT_EQ(files::ReadMeasurementFile(dir / "a.svk").commentUtf8, "Кабинет 2\r\nстол");
}

TEST(CellEdit, APlaceTypedOverAFirstLineWithANormOrTheRoomKeepsIt)
{
    for (const char* first : {"Кп<=10", "Склад Е>=200", "Помещение: 3"}) {
        test_support::TempFolder dir;
        files::WriteMeasurementFile(dir / "a.svk", Ripple(), std::string(first) + "\r\nстол");
        ASSERT_EQ(protocol::WritePlace(dir / "a.svk", "У окна"), std::nullopt);
        EXPECT_EQ(files::ReadMeasurementFile(dir / "a.svk").commentUtf8,
                  std::string("У окна\r\n") + first + "\r\nстол");
    }
}

TEST(CellEdit, RefusedEditsLeaveTheFileAsItWas)
{
    test_support::TempFolder dir;
    const std::string bytes = FileBytes("Cabinet");
    dir.Write("a.svk", bytes);
    dir.Write("short.svk", bytes.substr(0, 100));
    dir.Write("ro.svk", bytes);
    std::filesystem::permissions(dir / "ro.svk", std::filesystem::perms::owner_read);
    const struct {
        std::optional<std::string> message;
        const char* file;
        const char* starts;
    } cases[] = {
        {protocol::WritePlace(dir / "a.svk", "Кабинет ☺"), "a.svk",
         "В тексте есть знаки, которых нет в кодировке Windows-1251: «☺»"},
        {protocol::WriteNorm(dir / "a.svk", protocol::Norm::Pulsation, "200"), "a.svk", "Норма Кп — число от 0 до 100"},
        {protocol::WritePlace(dir / "short.svk", "x"), "short.svk", "В файле "},
        {protocol::WritePlace(dir / "ro.svk", "x"), "ro.svk", "Не удалось записать файл "},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.message) << c.file;
        EXPECT_EQ(c.message->rfind(c.starts, 0), 0u) << *c.message;
        EXPECT_EQ(dir.Read(c.file), std::string(c.file) == "short.svk" ? bytes.substr(0, 100) : bytes);
    }
}

TEST(CellEdit, AHugeFileIsReadOnlySoFarAndNeverEdited)
{
    test_support::TempFolder dir;
    dir.Write("huge.svk", FileBytes(std::string(protocol::kMaxFileBytes, 'x')));
    const auto file = files::ReadMeasurementFile(dir / "huge.svk", protocol::kMaxFileBytes);
    EXPECT_EQ(file.commentUtf8.size(), protocol::kMaxFileBytes - files::kCommentOffset);
    EXPECT_TRUE(protocol::ReadRow(dir.Folder(), "huge.svk", {}).Usable());
    const auto refused = protocol::WritePlace(dir / "huge.svk", "x");
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("слишком велик"), std::string::npos);
}

}  // namespace
