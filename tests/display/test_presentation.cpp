// Filling the measurement series and the mouse readout.

#include <gtest/gtest.h>

#include "chart/chart.h"
#include "chart/recording_canvas.h"
#include "chart/series.h"
#include "display/presentation.h"

namespace {

using display::XUnits;
using display::YUnits;

analysis::MeasurementRecord Record(int n)
{
    analysis::MeasurementRecord r;
    for (int i = 0; i < n; ++i)
        r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(100 + i);
    r.SampleCount = n;
    r.RangeIndex = 3;
    r.LuxFactor = 0.5f;
    r.RangeDecade = analysis::RangeDecadeFor(3);
    r.TimeMultiplier = 2;
    r.SampleInterval = 1.5f;
    return r;
}

const analysis::NumberFormat kComma{",", " "};

TEST(Presentation, AxisTitlesFollowTheSelectors)
{
    EXPECT_EQ(display::LeftAxisTitle(YUnits::Lux), "ЛЮКСЫ");
    EXPECT_EQ(display::LeftAxisTitle(YUnits::Converter), "единицы АЦП");
    EXPECT_EQ(display::BottomAxisTitle(XUnits::Time), "ВРЕМЯ, мс");
    EXPECT_EQ(display::BottomAxisTitle(XUnits::Samples), "ВЫБОРКИ");
    EXPECT_EQ(display::YUnitsFromItem(1), YUnits::Converter);
    EXPECT_EQ(display::XUnitsFromItem(0), XUnits::Time);
}

TEST(Presentation, ReplyFillLabelsEveryPointWithItsTime)
{
    chart::TFastLineSeries s;
    auto r = Record(4);
    display::FillMeasurementSeries(s, r, 1.0, 3.0, kComma);
    ASSERT_EQ(s.PointCount(), 4);
    EXPECT_EQ(s.PointLabel(0), "0");
    EXPECT_EQ(s.PointLabel(3), "9");
    EXPECT_EQ(s.XValue(2), 2.0);
    EXPECT_EQ(s.YValue(2), 102.0);
    // Sample mode in the reply processing still labels the points with their numbers.
    chart::TFastLineSeries samples;
    display::FillMeasurementSeries(samples, r, 0.5, 1.0, kComma);
    EXPECT_EQ(samples.PointLabel(3), "3");
    EXPECT_EQ(samples.YValue(1), 50.5);
}

TEST(Presentation, RefillInBothUnitsAndModes)
{
    auto r = Record(3);
    chart::TFastLineSeries lux;
    display::RefillMeasurementSeries(lux, r, YUnits::Lux, XUnits::Time, kComma);
    EXPECT_DOUBLE_EQ(lux.YValue(1), 101 * 0.5 * 0.01);
    EXPECT_EQ(lux.PointLabel(1), "3");
    chart::TFastLineSeries raw;
    display::RefillMeasurementSeries(raw, r, YUnits::Converter, XUnits::Samples, kComma);
    EXPECT_EQ(raw.YValue(2), 102.0);
    EXPECT_EQ(raw.PointLabel(2), "");  // sample mode drops the labels
    chart::TFastLineSeries empty;
    display::RefillMeasurementSeries(empty, Record(0), YUnits::Lux, XUnits::Time, kComma);
    EXPECT_EQ(empty.PointCount(), 0);
}

class ReadoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        chartObj.SetBounds(300, 305);  // narrow: several points share a column
        chartObj.SetBufferedDisplay(false);
        series = &chartObj.AddSeries(std::make_unique<chart::TFastLineSeries>());
        record = Record(400);
        display::RefillMeasurementSeries(*series, record, YUnits::Lux, XUnits::Time, kComma);
        chartObj.DrawTo(canvas, chart::TRect{0, 0, 300, 305});
    }
    chart::TChart chartObj;
    chart::TRecordingCanvas canvas;
    chart::TFastLineSeries* series = nullptr;
    analysis::MeasurementRecord record;
};

TEST_F(ReadoutTest, ShowsThePointOnThePointersColumnTheHighestIndexWins)
{
    ASSERT_GE(series->FirstShownIndex(), 0);
    // 400 points on about 500 pixels: find a column holding two points.
    int column = -1, highest = -1;
    for (int k = 1; k < 400; ++k)
        if (series->PointScreenX(k) == series->PointScreenX(k - 1)) {
            column = series->PointScreenX(k);
            highest = k;
            if (k + 1 < 400 && series->PointScreenX(k + 1) == column)
                highest = k + 1;
            break;
        }
    ASSERT_GT(column, 20);
    auto r = display::MouseReadout(*series, record, YUnits::Lux, XUnits::Time, column, 100, 305, 21, kComma);
    EXPECT_TRUE(r.touched);
    EXPECT_TRUE(r.visible);
    ASSERT_TRUE(r.eX);
    EXPECT_EQ(*r.eX, analysis::FormatFixed(highest * 3.0, 0, kComma));
    EXPECT_EQ(*r.eY, analysis::FormatFixed((100 + highest) * 0.005, 2, kComma));
    auto raw = display::MouseReadout(*series, record, YUnits::Converter, XUnits::Samples, column, 100, 305, 21, kComma);
    EXPECT_EQ(*raw.eX, std::to_string(highest));
    EXPECT_EQ(*raw.eY, std::to_string(100 + highest));
}

TEST_F(ReadoutTest, HidesInTheLeftAndBottomBands)
{
    const int x = series->PointScreenX(200);
    EXPECT_FALSE(display::MouseReadout(*series, record, YUnits::Lux, XUnits::Time, x, 275, 305, 21, kComma).visible);
    EXPECT_TRUE(display::MouseReadout(*series, record, YUnits::Lux, XUnits::Time, x, 274, 305, 21, kComma).visible);
    EXPECT_FALSE(display::MouseReadout(*series, record, YUnits::Lux, XUnits::Time, 19, 100, 305, 21, kComma).visible);
}

TEST(Readout, NoPointsChangesNothing)
{
    chart::TFastLineSeries s;
    auto r = display::MouseReadout(s, Record(0), YUnits::Lux, XUnits::Time, 100, 100, 305, 21, kComma);
    EXPECT_FALSE(r.touched);
}

}  // namespace
