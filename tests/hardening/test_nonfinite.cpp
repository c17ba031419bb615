// Damaged scale factors (NaN, infinities, 1e38, zeros) from a data file or a
// reply go through statistics, the period search, the text export, the
// window's chart fill and readout, and chart painting without reaching an
// integer conversion: every outcome is a defined text or value.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "analysis/period.h"
#include "analysis/statistics.h"
#include "chart/chart.h"
#include "display/main_charts.h"
#include "chart/number_picture.h"
#include "chart/recording_canvas.h"
#include "device/reply.h"
#include "display/presentation.h"
#include "files/svk_file.h"
#include "files/text_export.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const analysis::NumberFormat kComma{",", " "};

struct Header {
    double rangeDecade;
    float luxFactor;
    float sampleInterval;
    std::uint8_t rangeIndex;
    std::uint8_t timeMultiplier;
};

// A data file of 400 samples of a 40-sample ripple with the given header.
std::string FileBytes(const Header& h)
{
    std::string bytes;
    auto put = [&bytes](auto value) {
        char raw[sizeof value];
        std::memcpy(raw, &value, sizeof value);
        bytes.append(raw, sizeof value);
    };
    put(h.rangeDecade);
    put(h.luxFactor);
    put(h.sampleInterval);
    put(h.rangeIndex);
    put(h.timeMultiplier);
    for (int i = 0; i < 400; ++i)
        put(static_cast<std::uint16_t>(30000 + 3000 * std::sin(2 * M_PI * i / 40)));
    return bytes;
}

analysis::MeasurementRecord Record(const Header& h)
{
    const auto decoded = files::DecodeMeasurement(FileBytes(h));
    EXPECT_TRUE(decoded.has_value());
    return decoded->record;
}

const Header kDamaged[] = {
    {1.0, static_cast<float>(kNaN), 0.25f, 5, 1},
    {1.0, static_cast<float>(kInf), 0.25f, 5, 1},
    {1.0, -static_cast<float>(kInf), 0.25f, 5, 1},
    {1.0, 1e38f, 0.25f, 5, 1},
    {1.0, -1e38f, 0.25f, 5, 1},
    {kNaN, 0.02f, 0.25f, 5, 1},
    {kInf, 0.02f, 0.25f, 5, 1},
    {1e308, 0.02f, 1e38f, 255, 255},
    {1.0, 0.02f, static_cast<float>(kNaN), 5, 1},
    {1.0, 0.02f, static_cast<float>(kInf), 5, 1},
    {1.0, 0.02f, 0.0f, 5, 0},
    {1.0, 0.02f, -0.25f, 0, 1},
    {1.0, std::numeric_limits<float>::denorm_min(), 0.25f, 5, 1},
};

bool Defined(const std::string& text)
{
    // A number, or one of the names FormatFixed gives the non-finite values.
    return !text.empty() && text.find_first_not_of(" 0123456789,-NAIF") == std::string::npos;
}

TEST(NonFinite, StatisticsAreSuppressedOrFinite)
{
    for (const Header& h : kDamaged) {
        const auto record = Record(h);
        const auto stats = analysis::ShowStatistics(record, 0, record.SampleCount - 1, kComma);
        const bool usable = std::fabs(h.luxFactor) <= 20.0f;
        EXPECT_EQ(stats.lines.has_value(), usable) << h.luxFactor;
        if (stats.lines) {
            for (const auto& line : *stats.lines)
                EXPECT_EQ(line.find("NAN"), std::string::npos) << line;
        }
    }
    // The largest factor that is used: the mean still fits its integer.
    analysis::MeasurementRecord full;
    full.SampleCount = 400;
    full.Samples.fill(65535);
    full.LuxFactor = 20.0f;
    full.RangeIndex = 8;
    const auto stats = analysis::ShowStatistics(full, 0, 400, kComma);
    ASSERT_TRUE(stats.lines && stats.lines->size() == 5);
    EXPECT_EQ((*stats.lines)[0], "СРЕДНЕЕ     1310700 e3 люкс");
    EXPECT_EQ((*stats.lines)[3], "К пульсаций  0,000");
}

TEST(NonFinite, PeriodSearchGivesAFiniteFrequencyOrTheMessage)
{
    for (const Header& h : kDamaged) {
        const auto record = Record(h);
        const auto result = analysis::PeriodSearch(record, 0, true, kComma);
        EXPECT_EQ(result.P1 >= 0 && result.P2 > result.P1, true) << h.sampleInterval;
        if (result.frequency) {
            EXPECT_TRUE(std::isfinite(*result.frequency));
            ASSERT_EQ(result.title.size(), 1u);
            EXPECT_EQ(result.title[0].find("NAN"), std::string::npos);
        } else {
            EXPECT_TRUE(result.showMessage);
            EXPECT_TRUE(result.title.empty());
            EXPECT_TRUE(result.marker.empty());
        }
        for (const auto& p : result.curve)
            EXPECT_TRUE(std::isfinite(p.y));
    }
    // A multiplier of 0 and an interval of NaN: no frequency to state.
    EXPECT_FALSE(analysis::PeriodSearch(Record(kDamaged[10]), 0, true, kComma).frequency);
    EXPECT_FALSE(analysis::PeriodSearch(Record(kDamaged[8]), 0, true, kComma).frequency);
}

TEST(NonFinite, ExportRowsSpellNonFiniteValues)
{
    for (const Header& h : kDamaged) {
        const auto record = Record(h);
        for (auto mode : {files::ExportMode::Time, files::ExportMode::Samples}) {
            const auto rows = files::ExportRows(record, 0, 399, mode, kComma);
            ASSERT_EQ(rows.size(), 400u);
            for (const auto& row : rows) {
                const auto tab = row.find('\t');
                ASSERT_NE(tab, std::string::npos) << row;
                EXPECT_TRUE(Defined(row.substr(0, tab))) << row;
                EXPECT_TRUE(Defined(row.substr(tab + 1))) << row;
            }
        }
    }
    const auto rows = files::ExportRows(Record(kDamaged[0]), 1, 1, files::ExportMode::Samples, kComma);
    EXPECT_EQ(rows, std::vector<std::string>{"  1\t     NAN"});
}

TEST(NonFinite, ChartFillReadoutAndPaintStayDefined)
{
    for (const Header& h : kDamaged) {
        const auto record = Record(h);
        chart::TChart chart;
        auto& series = chart.AddSeries(std::make_unique<chart::TFastLineSeries>());
        display::ConfigureMeasurementChart(chart, series);
        chart.SetBounds(600, 300);
        chart.SetBufferedDisplay(false);
        display::FillMeasurementSeries(series, record, record.LuxFactor * record.RangeDecade,
                                       record.TimeMultiplier * static_cast<double>(record.SampleInterval), kComma);
        ASSERT_EQ(series.PointCount(), 400);
        EXPECT_TRUE(Defined(series.PointLabel(1))) << series.PointLabel(1);

        chart::TRecordingCanvas canvas;
        chart.DrawTo(canvas, {0, 0, 600, 300});
        EXPECT_EQ(series.FirstShownIndex(), 0);
        EXPECT_EQ(series.LastShownIndex(), 399);
        // Points whose value is not a number sit inside the picture, not at a wrapped coordinate.
        for (int i = 0; i < 400; i += 50) {
            EXPECT_GE(series.PointScreenY(i), -1) << i;
            EXPECT_LE(series.PointScreenY(i), 301) << i;
        }
        EXPECT_LT(canvas.Count(chart::TCanvasOp::Kind::Text), 200);

        for (auto x : {display::XUnits::Time, display::XUnits::Samples}) {
            display::RefillMeasurementSeries(series, record, display::YUnits::Lux, x, kComma);
            chart.DrawTo(canvas, {0, 0, 600, 300});
            const auto readout = display::MouseReadout(series, record, display::YUnits::Lux, x,
                                                       series.PointScreenX(200), 100, 300, 20, kComma);
            ASSERT_TRUE(readout.eX && readout.eY);
            EXPECT_TRUE(Defined(*readout.eX)) << *readout.eX;
            EXPECT_TRUE(Defined(*readout.eY)) << *readout.eY;
        }
    }
}

TEST(NonFinite, AxisRangesAndLabelsOfNonFiniteData)
{
    const double values[] = {kNaN, kInf, -kInf, 1e308, -1e308, 5e-324};
    for (double v : values) {
        chart::TChart chart;
        auto& series = chart.AddSeries(std::make_unique<chart::TFastLineSeries>());
        display::ConfigureMeasurementChart(chart, series);
        chart.SetBounds(400, 200);
        chart.SetBufferedDisplay(false);
        series.AddPoint(0, 1);
        series.AddPoint(1, v);
        series.AddPoint(2, -1);
        chart::TRecordingCanvas canvas;
        chart.DrawTo(canvas, {0, 0, 400, 200});
        EXPECT_LT(canvas.Count(chart::TCanvasOp::Kind::Text), 200) << v;
        for (int i = 0; i < 3; ++i) {
            EXPECT_GE(series.PointScreenY(i), -1000000) << v;
            EXPECT_LE(series.PointScreenY(i), 1000000) << v;
        }
        EXPECT_FALSE(chart::FormatNumberPicture(v, "#,##0.###").empty());
        // A fixed range with non-finite ends neither raises nor breaks the paint.
        chart.LeftAxis().SetRange(v, 0);
        chart.DrawTo(canvas, {0, 0, 400, 200});
    }
}

TEST(NonFinite, ReplyTrailerWithNonFiniteFloats)
{
    for (const float lux : {static_cast<float>(kNaN), static_cast<float>(kInf), 1e38f}) {
        device::ReplyReceiver rx;
        rx.RxBuffer.fill(0x80);
        const float interval = static_cast<float>(kNaN);
        std::memcpy(&rx.RxBuffer[801], &lux, 4);
        rx.RxBuffer[805] = 5;
        rx.RxBuffer[806] = 1;
        std::memcpy(&rx.RxBuffer[807], &interval, 4);
        rx.Received(811);
        analysis::MeasurementRecord record;
        rx.DecodeMeasurement(record);
        EXPECT_FALSE(analysis::ShowStatistics(record, 0, record.SampleCount - 1, kComma).lines);
        EXPECT_FALSE(analysis::PeriodSearch(record, 0, true, kComma).frequency);
        // The calibration listing of the same bytes.
        const auto listing = device::ListCalibration(rx.Calibration(), kComma);
        EXPECT_EQ(listing.lines.size(), 10u);
    }
    device::CalibrationRecord cal;
    cal.kR.fill(static_cast<float>(kNaN));
    cal.kR[1] = static_cast<float>(-kInf);
    cal.kR[2] = 3e38f;
    cal.kT = static_cast<float>(kInf);
    const auto listing = device::ListCalibration(cal, kComma);
    EXPECT_EQ(listing.lines[1], "kT=INF,");
    EXPECT_EQ(listing.lines[2], "NAN,  //kR[0] Sensitive");
    EXPECT_EQ(listing.lines[3], "-INF,  //kR[1]");
    EXPECT_GT(listing.lines[4].size(), 39u);  // all 39 integer digits, no wrap to an integer type
}

}  // namespace
