#include <gtest/gtest.h>

#include <filesystem>

#include "helpers/sampled_record.h"
#include "helpers/temp_folder.h"
#include "files/cp1251.h"
#include "files/svk_file.h"
#include "protocol/core/cell_edit.h"
#include "protocol/core/limit_marker.h"
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
    files::WriteMeasurementFile(dir / "a.svk", r, "Цех; линия \"А\"\r\nКп<=12,5");
    const auto rows = protocol::BuildProtocol(dir.Folder(), 5.0);
    ASSERT_EQ(rows.size(), 1u);
    // 200 samples at 1100, 199 at 900: M = 1000 e-1, Kп = 200 / 2 / 1000 = 0.100; F = 100 Hz; PF = 10 %;
    // SVM from the square's fundamental 0.1 * 4 / pi over T(100) = 0.497, its harmonics adding 0.001.
    EXPECT_EQ(protocol::ProtocolCsv(rows, kComma),
              "\xEF\xBB\xBF№;Файл;Место;E, лк;Кп, %;Норма Кп, %;Вывод;F, Гц;PF, %;FI;SVM;IEEE 1789\r\n"
              "1;a.svk;\"Цех; линия \"\"А\"\"\";100,0;10,0;12,5;соответствует;100,0;10,0;0,050;0,498;риск\r\n");
    double limit = 0;
    EXPECT_TRUE(protocol::ParseLimit("2,5", limit));
    EXPECT_EQ(limit, 2.5);
    EXPECT_FALSE(protocol::ParseLimit("101", limit));
    EXPECT_FALSE(protocol::ParseLimit("5x", limit));
    EXPECT_EQ(protocol::LimitText(5.0, kComma), "5");
    EXPECT_EQ(protocol::PulsationVerdict(5.0, 5.0), protocol::Verdict::Complies);
    EXPECT_EQ(protocol::PulsationVerdict(5.1, 5.0), protocol::Verdict::Fails);
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
        EXPECT_EQ(csv.substr(at, 4 + cell.size()), "0;;" + cell + ";") << place;
        at = csv.find("\r\n", at) + 2;
    }
}

TEST(LimitMarker, FirstByPositionAnyCaseBlanksAndTheLatinK)
{
    struct Case {
        const char* comment;
        std::optional<double> limit;  // nullopt: no marker, or one out of range
        const char* text;             // the marker as found; nullptr: none
    };
    const Case cases[] = {
        {"Кабинет 12\r\nКп<=10", 10.0, "Кп<=10"},
        {"Склад Кп<= 2,5 %", 2.5, "Кп<= 2,5"},
        {"Кп <= 12", 12.0, "Кп <= 12"},
        {"Kп<=12", 12.0, "Kп<=12"},
        {"кП<=7.", 7.0, "кП<=7"},
        {"кп<=4, потом Кп<=9", 4.0, "кп<=4"},
        {"Кп<=4,9996", 5.0, "Кп<=4,9996"},
        {"Кп<=500", std::nullopt, "Кп<=500"},
        {"Кабинет 12\r\nКп 10", std::nullopt, nullptr},
        {"Кп<=, Кп<=3", 3.0, "Кп<=3"},
    };
    for (const Case& c : cases) {
        const auto m = protocol::FindLimitMarker(c.comment);
        ASSERT_EQ(m.has_value(), c.text != nullptr) << c.comment;
        if (!m)
            continue;
        EXPECT_EQ(m->text, c.text);
        EXPECT_EQ(m->limit, c.limit) << c.comment;
        EXPECT_EQ(std::string(c.comment).substr(m->at, m->length), c.text);
    }
}

TEST(LimitMarker, WrittenInPlaceOfTheFirstOrOnALineOfItsOwn)
{
    struct Case {
        const char* comment;
        std::optional<double> limit;
        const char* expected;
    };
    const Case cases[] = {
        {"Склад Кп<= 2,5 % и Кп<=9", 7.0, "Склад Кп<=7 % и Кп<=9"},
        {"Кабинет", 2.5, "Кабинет\r\nКп<=2,5"},
        {"Кабинет\r\n", 0.125, "Кабинет\r\nКп<=0,125"},
        {"", 5.0, "\r\nКп<=5"},
        {"Кабинет\r\nКп<=10\r\nстол", std::nullopt, "Кабинет\r\nстол"},
        {"Кабинет\r\nКп<=10", std::nullopt, "Кабинет"},
        {"Склад Кп<=3 %", std::nullopt, "Склад  %"},
        {"Кабинет", std::nullopt, "Кабинет"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(protocol::WithLimitMarker(c.comment, c.limit), c.expected) << c.comment;
}

TEST(ProtocolRows, MarkersJudgedAsShownAndOutOfRangeReported)
{
    test_support::TempFolder dir;
    files::WriteMeasurementFile(dir / "a.svk", Ripple(50), "Кабинет\r\nКп<=4,9996");  // Kп 5,0
    files::WriteMeasurementFile(dir / "b.svk", Ripple(50), "Кабинет\r\nКп<=500");
    const auto rows = protocol::BuildProtocol(dir.Folder(), 5.0);
    ASSERT_EQ(rows.size(), 2u);
    const auto a = protocol::CellsOf(rows[0], kComma);
    EXPECT_EQ(a[Column::Pulsation] + " " + a[Column::Limit] + " " + a[Column::Verdict], "5,0 5 соответствует");
    const auto b = protocol::CellsOf(rows[1], kComma);
    EXPECT_EQ(b[Column::Pulsation], "5,0");
    EXPECT_EQ(b[Column::Limit], "");
    EXPECT_EQ(b[Column::Verdict], "норма «Кп<=500» вне 0…100 %");
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
    for (const auto& row : protocol::BuildProtocol(dir.Folder(), 5.0))
        order += std::to_string(row.number) + row.fileName + " ";
    EXPECT_EQ(order, "1m1.svk 2M9.svk 3m10.svk ");
}

#ifndef _WIN32
TEST(ProtocolRows, NamesInCodePage1251AreLegible)
{
    test_support::TempFolder dir;
    const std::string name = files::EncodeCp1251("Точка 1.svk").bytes;
    files::WriteMeasurementFile(dir / name, Ripple(), "");
    const auto rows = protocol::BuildProtocol(dir.Folder(), 5.0);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fileName, name);  // the file is still found by its own bytes
    EXPECT_EQ(protocol::CellsOf(rows[0], kComma)[Column::File], "Точка 1.svk");
}
#endif

TEST(CellEdit, PlaceAndLimitWrittenIntoTheFileTheRestByteForByte)
{
    test_support::TempFolder dir;
    const std::string tail = std::string("\0после нуля", 11);
    dir.Write("a.svk", FileBytes(files::EncodeCp1251("Кабинет 1\r\nКп<=10\nстол").bytes + tail));
    ASSERT_EQ(protocol::WritePlace(dir / "a.svk", "Кабинет 2"), std::nullopt);
    ASSERT_EQ(protocol::WriteLimit(dir / "a.svk", "2,5"), std::nullopt);
    EXPECT_EQ(dir.Read("a.svk"), FileBytes(files::EncodeCp1251("Кабинет 2\r\nКп<=2,5\nстол").bytes + tail));

    // What the main window's reader makes of it.
    const auto file = files::ReadMeasurementFile(dir / "a.svk");
    EXPECT_EQ(file.commentUtf8, "Кабинет 2\r\nКп<=2,5\r\nстол");
    const auto row = protocol::ReadRow(dir.Folder(), "a.svk", 5.0);
    EXPECT_EQ(row.place, "Кабинет 2");
    EXPECT_EQ(row.limit, 2.5);

    // A blank limit: the default again.
    ASSERT_EQ(protocol::WriteLimit(dir / "a.svk", " "), std::nullopt);
    EXPECT_EQ(files::ReadMeasurementFile(dir / "a.svk").commentUtf8, "Кабинет 2\r\nстол");
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
        {protocol::WriteLimit(dir / "a.svk", "200"), "a.svk", "Норма Кп — число от 0 до 100"},
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
    EXPECT_TRUE(protocol::ReadRow(dir.Folder(), "huge.svk", 5.0).Usable());
    const auto refused = protocol::WritePlace(dir / "huge.svk", "x");
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("слишком велик"), std::string::npos);
}

}  // namespace
