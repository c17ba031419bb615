#include <gtest/gtest.h>

#include <cstring>

#include "files/cp1251.h"
#include "files/file_error.h"
#include "files/line_breaks.h"
#include "files/svk_file.h"
#include "helpers/temp_folder.h"

namespace {

using analysis::MeasurementRecord;
using test_support::TempFolder;

MeasurementRecord Record(int count, std::uint8_t range = 5)
{
    MeasurementRecord r;
    for (int i = 0; i < count; ++i)
        r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i * 163 + 7);
    r.SampleCount = count;
    r.RangeIndex = range;
    r.TimeMultiplier = 3;
    r.LuxFactor = 0.123456f;
    r.SampleInterval = 0.1f;
    r.RangeDecade = analysis::RangeDecadeFor(range);
    return r;
}

std::string Hex(std::string_view bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

template <typename F>
std::string ErrorOf(F&& f)
{
    try {
        f();
    } catch (const files::FileError& e) {
        return e.what();
    }
    return "no error";
}

TEST(SvkFormat, FullRecordWithEmptyCommentIs818Bytes)
{
    TempFolder dir;
    const auto saved = files::WriteMeasurementFile(dir / "m.svk", Record(400), "");
    EXPECT_EQ(saved.samplesWritten, 400);
    EXPECT_EQ(saved.samplesDropped, 0);
    EXPECT_EQ(dir.Read("m.svk").size(), 818u);
    const auto back = files::ReadMeasurementFile(dir / "m.svk");
    EXPECT_EQ(back.record.SampleCount, 400);
    EXPECT_EQ(back.commentUtf8, "");
}

TEST(SvkFormat, RoundTripKeepsEveryBit)
{
    TempFolder dir;
    MeasurementRecord r = Record(400, 3);
    r.Samples[0] = 0;
    r.Samples[399] = 65535;
    r.LuxFactor = std::nextafter(1.5f, 2.0f);
    const std::string comment = "Цех №2, линия Ё\r\nлампа ДРЛ-250\r\n\r\nend";
    files::WriteMeasurementFile(dir / "m.svk", r, comment);
    const std::string bytes = dir.Read("m.svk");
    ASSERT_EQ(bytes.size(), 818u + files::EncodeCp1251(comment).bytes.size());
    // Little-endian fields at their offsets, whatever the host.
    EXPECT_EQ(Hex(bytes.substr(16, 4)), "03 03 00 00 ");
    EXPECT_EQ(Hex(bytes.substr(20, 2)), "AA 00 ");  // 1 * 163 + 7
    EXPECT_EQ(Hex(bytes.substr(816, 2)), "FF FF ");
    EXPECT_EQ(bytes.substr(818, 4), "\xD6\xE5\xF5\x20");  // "Цех " in code page 1251

    const auto back = files::ReadMeasurementFile(dir / "m.svk");
    EXPECT_EQ(std::memcmp(&back.record.RangeDecade, &r.RangeDecade, 8), 0);
    EXPECT_EQ(std::memcmp(&back.record.LuxFactor, &r.LuxFactor, 4), 0);
    EXPECT_EQ(std::memcmp(&back.record.SampleInterval, &r.SampleInterval, 4), 0);
    EXPECT_EQ(back.record.RangeIndex, 3);
    EXPECT_EQ(back.record.TimeMultiplier, 3);
    EXPECT_EQ(back.record.Samples, r.Samples);
    EXPECT_EQ(back.commentUtf8, comment);
}

TEST(SvkFormat, RangeDecadeBytes)
{
    EXPECT_EQ(Hex(files::EncodeMeasurement(Record(0, 5), 0, "").substr(0, 8)), "00 00 00 00 00 00 F0 3F ");
    EXPECT_EQ(Hex(files::EncodeMeasurement(Record(0, 1), 0, "").substr(0, 8)), "2D 43 1C EB E2 36 1A 3F ");
}

TEST(SvkFormat, BytesAfter400SamplesAreTheComment)
{
    const std::string full = files::EncodeMeasurement(Record(400), 400, "");
    for (const std::string& tail : {std::string("A"), std::string("\x01\x02\xFF", 3), std::string("x\ry\nz")}) {
        const auto d = files::DecodeMeasurement(full + tail);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->record.SampleCount, 400);
        EXPECT_EQ(d->commentBytes, tail);
    }
    EXPECT_EQ(files::CommentFromFile("x\ry\nz\r\nw"), "x\r\ny\r\nz\r\nw");
    EXPECT_EQ(files::CommentFromFile(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(files::CommentFromFile("\xC0\xFF\x98"), "Ая\xC2\x98");
}

TEST(SvkFormat, ShortAndOddFilesTakeWhatTheSizeHolds)
{
    TempFolder dir;
    const std::string header = files::EncodeMeasurement(Record(10), 10, "");  // 38 bytes
    dir.Write("odd.svk", header + "Z");
    const auto odd = files::ReadMeasurementFile(dir / "odd.svk");
    EXPECT_EQ(odd.record.SampleCount, 10);
    EXPECT_EQ(odd.record.Samples[9], 9 * 163 + 7);
    EXPECT_EQ(odd.record.Samples[10], 0);
    EXPECT_EQ(odd.commentUtf8, "Z");

    dir.Write("h.svk", header.substr(0, 18));
    EXPECT_EQ(files::ReadMeasurementFile(dir / "h.svk").record.SampleCount, 0);
}

TEST(SvkFormat, FilesShorterThanTheHeaderAreRefused)
{
    TempFolder dir;
    for (std::size_t size : {0u, 1u, 17u}) {
        dir.Write("s.svk", std::string(size, '\x11'));
        EXPECT_EQ(ErrorOf([&] { files::ReadMeasurementFile(dir / "s.svk"); }),
                  "Файл " + (dir / "s.svk") + " повреждён: в нём нет заголовка измерения");
    }
    EXPECT_FALSE(files::DecodeMeasurement(std::string(17, '\0')));
}

TEST(SvkFormat, OpenAndSaveFailuresNameThePath)
{
    TempFolder dir;
    EXPECT_EQ(ErrorOf([&] { files::ReadMeasurementFile(dir / "gone.svk"); }), "Cannot open file " + (dir / "gone.svk"));
    std::filesystem::create_directory(dir.Folder() + "sub.svk");
    EXPECT_EQ(ErrorOf([&] { files::ReadMeasurementFile(dir / "sub.svk"); }), "Cannot open file " + (dir / "sub.svk"));
    EXPECT_EQ(ErrorOf([&] { files::WriteMeasurementFile(dir / "no/such.svk", Record(400), ""); }),
              "Файл " + (dir / "no/such.svk") + " не сохранён: нет такой папки.");
}

TEST(SvkFormat, HeaderOnlySaveAndShortRecords)
{
    TempFolder dir;
    // Before any measurement: 18 bytes of zeros.
    files::WriteMeasurementFile(dir / "z.svk", MeasurementRecord{}, "");
    EXPECT_EQ(dir.Read("z.svk"), std::string(18, '\0'));
    // A short record without comment reads back as it was.
    files::WriteMeasurementFile(dir / "s.svk", Record(50), "");
    const auto back = files::ReadMeasurementFile(dir / "s.svk");
    EXPECT_EQ(back.record.SampleCount, 50);
    EXPECT_EQ(back.record.Samples, Record(50).Samples);
    // With a comment it would read back as samples: refused, nothing written.
    for (int count : {0, 50, 399}) {
        const std::string name = "c" + std::to_string(count) + ".svk";
        const std::string error = ErrorOf([&] { files::WriteMeasurementFile(dir / name, Record(count), "note"); });
        EXPECT_NE(error.find("нельзя сохранить с комментарием"), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(dir / name));
    }
}

TEST(SvkFormat, LongRecordsAreCutTo400)
{
    TempFolder dir;
    const auto saved = files::WriteMeasurementFile(dir / "l.svk", Record(405), "c");
    EXPECT_EQ(saved.samplesWritten, 400);
    EXPECT_EQ(saved.samplesDropped, 5);
    const auto back = files::ReadMeasurementFile(dir / "l.svk");
    EXPECT_EQ(back.record.SampleCount, 400);
    EXPECT_EQ(back.record.Samples[399], 399 * 163 + 7);
    EXPECT_EQ(back.commentUtf8, "c");
}

TEST(SvkFormat, CommentLineBreaksBecomeCrLf)
{
    TempFolder dir;
    files::WriteMeasurementFile(dir / "m.svk", Record(400), "a\nb\rc\r\nd");
    EXPECT_EQ(dir.Read("m.svk").substr(818), "a\r\nb\r\nc\r\nd");
}

TEST(SvkFormat, OneLineBreakRuleForTheBytesAndTheTextBox)
{
    // The paragraph separator breaks a line of the text box's UTF-16 only.
    EXPECT_EQ(files::WithCrLf("a\rb\xE2\x80\xA9"), "a\r\nb\xE2\x80\xA9");
    EXPECT_EQ(files::WithCrLf(u"a\nb\rc\r\nd\u2029e"), u"a\r\nb\r\nc\r\nd\r\ne");
}

TEST(SvkFormat, CharactersOutside1251AreListedAndNothingIsWritten)
{
    TempFolder dir;
    dir.Write("m.svk", "old");
    try {
        files::WriteMeasurementFile(dir / "m.svk", Record(400), "Лампа €5 ☀ 日 ☀");
        FAIL() << "no error";
    } catch (const files::EncodingError& e) {
        EXPECT_EQ(e.characters(), (std::vector<std::string>{"☀", "日"}));
        EXPECT_NE(std::string(e.what()).find("«☀» «日»"), std::string::npos);
    }
    EXPECT_EQ(dir.Read("m.svk"), "old");
    const auto bad = files::EncodeCp1251("a\xFF"
                                         "b");
    EXPECT_EQ(bad.unencodable, (std::vector<std::string>{"\xEF\xBF\xBD"}));
    EXPECT_EQ(files::EncodeCp1251("€№ёЁ").bytes, "\x88\xB9\xB8\xA8");
}

TEST(Cp1251, EveryByteRoundTrips)
{
    // 0x98, which the code page leaves undefined, reads as the control U+0098.
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const auto again = files::EncodeCp1251(files::DecodeCp1251(byte));
        EXPECT_TRUE(again.unencodable.empty()) << b;
        EXPECT_EQ(again.bytes, byte) << b;
    }
}

}  // namespace
