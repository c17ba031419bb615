#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/svk_file.h"
#include "helpers/sampled_record.h"
#include "helpers/temp_folder.h"
#include "protocol/core/comparison.h"

namespace {

using protocol::Change;
using protocol::CompareColumn;

const analysis::NumberFormat kComma{",", " "};

// A square ripple about `mean` lux: Kп = depth / mean.
analysis::MeasurementRecord Light(int mean, int depth)
{
    return SampledRecord(400, 1.0f, [=](int i) { return i % 40 < 20 ? mean + depth : mean - depth; });
}

std::vector<protocol::ProtocolRow> Survey(const test_support::TempFolder& dir)
{
    return protocol::BuildProtocol(dir.Folder(), {});
}

// Each row as "before file > after file: change".
std::vector<std::string> Pairs(const protocol::Comparison& c)
{
    std::vector<std::string> pairs;
    for (const auto& p : c.points)
        pairs.push_back((c.Before(p) ? c.Before(p)->fileName : "") + " > " + (c.After(p) ? c.After(p)->fileName : "") +
                        ": " + protocol::ChangeText(p.change));
    return pairs;
}

TEST(Comparison, MatchesByRoomAndPlaceThenTheNthOfARepeatedPlace)
{
    test_support::TempFolder before, after;
    const auto light = Light(1000, 30);  // Kп 3 %: complies with 5
    files::WriteMeasurementFile(before / "1.svk", light, "Стол 1\r\nПомещение: Цех");
    files::WriteMeasurementFile(before / "2.svk", light, "  стол 1 \r\nПомещение: цех ");
    files::WriteMeasurementFile(before / "3.svk", light, "Ёлка\r\nПомещение: Склад");
    files::WriteMeasurementFile(before / "4.svk", light, "Окно");
    files::WriteMeasurementFile(before / "9.svk", light, "Касса");
    before.Write("5.svk", "damaged");
    files::WriteMeasurementFile(after / "1.svk", light, "СТОЛ 1\r\nПомещение: ЦЕХ");
    files::WriteMeasurementFile(after / "2.svk", light, "Стол 1\r\nПомещение: Цех");
    files::WriteMeasurementFile(after / "10.svk", light, "Дверь");
    files::WriteMeasurementFile(after / "3.svk", light, "елка\r\nПомещение: склад");
    files::WriteMeasurementFile(after / "6.svk", Light(0, 0), "Окно");  // the mean 0: unusable
    after.Write("5.svk", "damaged");

    const auto c = protocol::Compare(Survey(before), Survey(after));
    EXPECT_EQ(Pairs(c), (std::vector<std::string>{
                            "1.svk > 1.svk: без изменений",
                            "2.svk > 2.svk: без изменений",
                            "3.svk > 3.svk: без изменений",
                            " > 5.svk: только после",  // a file not read has no place to match
                            "4.svk > 6.svk: —",
                            " > 10.svk: только после",
                            "5.svk > : только до",
                            "9.svk > : только до",
                        }));
    // The unusable file: its reason, no deltas.
    const auto cells = protocol::ComparisonCells(c, c.points[4], kComma);
    EXPECT_EQ(cells[static_cast<int>(CompareColumn::VerdictAfter)],
              "среднее равно 0: выберите более чувствительный диапазон");
    EXPECT_EQ(cells[static_cast<int>(CompareColumn::IlluminanceDelta)] +
                  cells[static_cast<int>(CompareColumn::PulsationDelta)],
              "——");
    const auto counts = c.Counts();
    EXPECT_EQ(counts[static_cast<int>(Change::Unchanged)], 3);
    EXPECT_EQ(counts[static_cast<int>(Change::OnlyAfter)], 2);
    EXPECT_EQ(counts[static_cast<int>(Change::OnlyBefore)], 2);
    EXPECT_EQ(counts[static_cast<int>(Change::NotCompared)], 1);
}

TEST(Comparison, DeltasAndChangesOnWorkedNumbers)
{
    struct Case {
        int meanBefore, depthBefore, meanAfter, depthAfter;
        const char* markers;  // both files' comment after the place
        const char* cells;    // E до, E после, ΔE, Кп до, Кп после, ΔКп, Изменение
    };
    const Case cases[] = {
        {1000, 100, 1000, 40, "", "1000 1000 0,0 10,0 4,0 -6,0 стало соответствовать"},
        {1000, 40, 1000, 60, "", "1000 1000 0,0 4,0 6,0 2,0 перестало соответствовать"},
        {500, 15, 650, 13, "\r\nЕ>=600", "500 650 30,0 3,0 2,0 -1,0 стало соответствовать"},
        {300, 3, 299, 3, "\r\nЕ>=200\r\nКп<=20", "300 299 -0,3 1,0 1,0 0,0 без изменений"},
        {1000, 150, 500, 50, "\r\nКп<=20", "1000 500 -50,0 15,0 10,0 -5,0 без изменений"},
    };
    for (const Case& k : cases) {
        test_support::TempFolder before, after;
        files::WriteMeasurementFile(before / "a.svk", Light(k.meanBefore, k.depthBefore), std::string("A") + k.markers);
        files::WriteMeasurementFile(after / "a.svk", Light(k.meanAfter, k.depthAfter), std::string("A") + k.markers);
        const auto c = protocol::Compare(Survey(before), Survey(after));
        ASSERT_EQ(c.points.size(), 1u);
        const auto cells = protocol::ComparisonCells(c, c.points[0], kComma);
        std::string shown;
        for (auto col : {CompareColumn::IlluminanceBefore, CompareColumn::IlluminanceAfter,
                         CompareColumn::IlluminanceDelta, CompareColumn::PulsationBefore, CompareColumn::PulsationAfter,
                         CompareColumn::PulsationDelta, CompareColumn::Change})
            shown += (shown.empty() ? "" : " ") + cells[static_cast<int>(col)];
        EXPECT_EQ(shown, k.cells) << k.meanBefore << " > " << k.meanAfter;
    }
}

TEST(Comparison, CsvAndRoomsBeforeAndAfter)
{
    test_support::TempFolder before, after;
    files::WriteMeasurementFile(before / "1.svk", Light(400, 8), "У окна\r\nПомещение: Зал");
    files::WriteMeasurementFile(before / "2.svk", Light(200, 20), "Угол\r\nПомещение: Зал");
    files::WriteMeasurementFile(before / "3.svk", Light(100, 1), "Стол\r\nПомещение: Склад");
    files::WriteMeasurementFile(after / "1.svk", Light(500, 5), "У окна\r\nПомещение: ЗАЛ");
    const auto c = protocol::Compare(Survey(before), Survey(after));
    EXPECT_EQ(protocol::ComparisonCsv(c, kComma),
              "\xEF\xBB\xBFПомещение;Место;E до, лк;E после, лк;ΔE, %;Кп до, %;Кп после, %;ΔКп, п.п.;Вывод до;"
              "Вывод после;Изменение\r\n"
              "ЗАЛ;У окна;400;500;25,0;2,0;1,0;-1,0;соответствует;соответствует;без изменений\r\n"
              "Зал;Угол;200;—;—;10,0;—;—;не соответствует;—;только до\r\n"
              "Склад;Стол;100;—;—;1,0;—;—;соответствует;—;только до\r\n");
    std::vector<std::string> rooms;
    for (const auto& room : protocol::CompareRooms(c)) {
        std::string line;
        for (const auto& cell : protocol::ComparedRoomCells(room, kComma))
            line += (line.empty() ? "" : " ") + cell;
        rooms.push_back(line);
    }
    EXPECT_EQ(rooms, (std::vector<std::string>{"ЗАЛ 300 500 10,0 1,0", "Склад 100 — 1,0 —"}));
}

}  // namespace
