#include <gtest/gtest.h>

#include "files/atomic_file.h"
#include "files/file_error.h"
#include "files/text_export.h"
#include "helpers/temp_folder.h"

namespace {

using files::ExportMode;
using test_support::TempFolder;

const analysis::NumberFormat kPoint{".", ","};
const analysis::NumberFormat kComma{",", " "};

analysis::MeasurementRecord Record()
{
    analysis::MeasurementRecord r;
    for (int i = 0; i < 400; ++i)
        r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(1000 + i);
    r.SampleCount = 400;
    r.RangeIndex = 4;
    r.TimeMultiplier = 1;
    r.LuxFactor = 0.5f;
    r.SampleInterval = 0.5f;
    r.RangeDecade = analysis::RangeDecadeFor(4);  // 0.1
    return r;
}

TEST(TextExport, RowsInTimeAndSampleMode)
{
    const auto rows = files::ExportRows(Record(), 0, 399, ExportMode::Time, kPoint);
    ASSERT_EQ(rows.size(), 400u);
    EXPECT_EQ(rows[0], "  0.0000\t 50.0000");
    EXPECT_EQ(rows[1], "  0.5000\t 50.0500");
    EXPECT_EQ(rows[2], "  1.0000\t 50.1000");
    EXPECT_EQ(rows[399], "199.5000\t 69.9500");
    const auto samples = files::ExportRows(Record(), 0, 399, ExportMode::Samples, kComma);
    EXPECT_EQ(samples[0], "  0\t 50,0000");
    EXPECT_EQ(samples[42], " 42\t 52,1000");
    EXPECT_EQ(samples[399], "399\t 69,9500");
}

TEST(TextExport, ZoomedStretchKeepsTheRecordsTime)
{
    auto r = Record();
    r.TimeMultiplier = 3;
    const auto rows = files::ExportRows(r, 100, 199, ExportMode::Time, kPoint);
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front(), "150.0000\t 55.0000");
    EXPECT_TRUE(files::ExportRows(r, -1, -1, ExportMode::Time, kPoint).empty());
    EXPECT_EQ(files::ExportRows(r, 398, 500, ExportMode::Samples, kPoint).size(), 2u);
    // Wide values take the room they need.
    r.Samples[0] = 65535;
    r.RangeDecade = 1000;
    EXPECT_EQ(files::ExportRows(r, 0, 0, ExportMode::Samples, kPoint)[0], "  0\t32767500.0000");
}

TEST(TextExport, FileLinesAndOrigin)
{
    TempFolder dir;
    const auto fromFile = files::OriginFromCaption("ФАЙЛ m1.svk", "/d/m1.svk", {"строка 1", "строка 2"});
    files::WriteTextExport(dir / "e.txt", Record(), 0, 1, ExportMode::Samples, kPoint, fromFile);
    EXPECT_EQ(dir.Read("e.txt"),
              "  0\t 50.0000\r\n  1\t 50.0500\r\n\xB9\xE2\xFB\xE1\xEE\xF0\xEA\xE8  \xCB\xFE\xEA\xF1\xFB\r\n"
              "\xC4\xE0\xED\xED\xFB\xE5 \xE8\xE7 \xF4\xE0\xE9\xEB\xE0 /d/m1.svk\r\n"
              "\xF1\xF2\xF0\xEE\xEA\xE0 1\r\n\xF1\xF2\xF0\xEE\xEA\xE0 2\r\n");
    // After a measurement the caption is "ФАЙЛ " alone: memory line, no comment.
    const auto fromMeter = files::OriginFromCaption("ФАЙЛ ", "/d/m1.svk", {"строка 1"});
    EXPECT_EQ(files::TextExportLines(Record(), 0, 0, ExportMode::Time, kPoint, fromMeter),
              (std::vector<std::string>{"  0.0000\t 50.0000", "  T,ms          Люксы", "Данные из памяти совикана"}));
    EXPECT_FALSE(files::OriginFromCaption("ФАЙЛ", "", {}).fromFile);
    // No points shown: caption and origin only.
    EXPECT_EQ(files::TextExportLines(Record(), -1, -1, ExportMode::Time, kPoint, fromMeter).size(), 2u);
}

TEST(TextExport, FailuresNameTheFileAndTheReason)
{
    TempFolder dir;
    auto message = [&](const std::string& path) -> std::string {
        try {
            files::WriteTextExport(path, Record(), 0, 1, ExportMode::Time, kPoint, {});
        } catch (const files::FileError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(message(dir / "no/e.txt"), "Файл " + (dir / "no/e.txt") + " не сохранён: нет такой папки.");
    EXPECT_EQ(files::SaveFailedMessage("e.txt", ENOSPC), "Файл e.txt не сохранён: на диске нет места.");
    EXPECT_EQ(files::SaveFailedMessage("e.txt", EIO), "Файл e.txt не сохранён: " + files::SystemErrorText(EIO) + ".");
    // Characters without a 1251 byte stop the export before the file exists.
    const auto origin = files::OriginFromCaption("ФАЙЛ 日.svk", "/d/日.svk", {});
    EXPECT_THROW(files::WriteTextExport(dir / "x.txt", Record(), 0, 1, ExportMode::Time, kPoint, origin),
                 files::EncodingError);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.txt"));
}

TEST(TextExport, ClipboardRowsEndInLfOnly)
{
    auto r = Record();
    r.Samples[1] = 2000;
    const std::string text = files::ClipboardText(r, 0, 2, ExportMode::Time, kPoint);
    EXPECT_EQ(text, "  0.0000\t 50.0000\n  0.5000\t100.0000\n  1.0000\t 50.1000\n");
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(files::ClipboardText(r, -1, -1, ExportMode::Time, kPoint), "");
}

}  // namespace
