// The main window's settings of its two charts.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "chart/chart.h"
#include "chart/recording_canvas.h"
#include "display/main_charts.h"

namespace {

using namespace chart;
using display::ConfigureCorrelationChart;
using display::ConfigureMeasurementChart;

TEST(MainCharts, Settings)
{
    TChart chart1;
    auto& series1 = chart1.AddSeries(std::make_unique<TFastLineSeries>());
    ConfigureMeasurementChart(chart1, series1);
    EXPECT_EQ(chart1.Color(), 15130422u);
    EXPECT_EQ(chart1.MarginBottom(), 5);
    EXPECT_EQ(chart1.MarginLeft(), 0);
    EXPECT_EQ(chart1.MarginRight(), 1);
    EXPECT_EQ(chart1.MarginTop(), 0);
    EXPECT_EQ(chart1.BottomAxis().Title().Caption(), "ВРЕМЯ, мс");
    EXPECT_EQ(chart1.LeftAxis().Title().Caption(), "ЛЮКСЫ");
    EXPECT_FALSE(chart1.View3D());
    EXPECT_EQ(chart1.BevelOuter(), TBevelCut::bvNone);
    EXPECT_EQ(chart1.BevelWidth(), 0);
    EXPECT_FALSE(chart1.Legend().Visible);
    EXPECT_EQ(chart1.Title().Text().Count(), 1);
    EXPECT_FALSE(chart1.RightAxis().Labels());
    EXPECT_EQ(series1.SeriesColor(), clRed);
    EXPECT_EQ(series1.ValueFormat(), "#,##0.0##");
    EXPECT_EQ(series1.PercentFormat(), "##0.0# %");
    EXPECT_FALSE(series1.ShowInLegend());
    EXPECT_FALSE(series1.Marks.Visible);

    TChart corr;
    auto& sc = corr.AddSeries(std::make_unique<TFastLineSeries>());
    auto& sp = corr.AddSeries(std::make_unique<TFastLineSeries>());
    ConfigureCorrelationChart(corr, sc, sp);
    EXPECT_EQ(corr.Color(), 15114038u);
    EXPECT_EQ(corr.MarginBottom(), 0);
    EXPECT_EQ(corr.MarginRight(), 1);
    EXPECT_FALSE(corr.View3DWalls());
    EXPECT_EQ(sc.SeriesColor(), clRed);
    EXPECT_EQ(sp.SeriesColor(), clGreen);
    EXPECT_EQ(sp.LinePen().Width(), 4);
    EXPECT_EQ(sp.ValueFormat(), "#,##0.0#");
}

TEST(MainCharts, MeasurementChartLayoutAt537By305)
{
    TChart chart1;
    auto& series1 = chart1.AddSeries(std::make_unique<TFastLineSeries>());
    ConfigureMeasurementChart(chart1, series1);
    chart1.SetBounds(537, 305);
    for (int i = 0; i < 405; ++i)
        series1.AddPoint(i, 100 + 50 * std::sin(i / 20.0), std::to_string(i * 5));
    TRecordingCanvas rc;
    chart1.SetBufferedDisplay(false);
    chart1.DrawTo(rc, TRect{0, 0, 537, 305});
    TRect plot = chart1.PlotRect();
    // Margins: bottom 5 % of 305 = 15, right 1 % of 537 = 5; the empty title line 13 + 5.
    EXPECT_EQ(plot.Top, 18);
    EXPECT_EQ(plot.Right, 537 - 5);
    EXPECT_EQ(plot.Bottom, 305 - 15 - 13 - 13 - 6);
    EXPECT_EQ(series1.FirstShownIndex(), 0);
    EXPECT_EQ(series1.LastShownIndex(), 404);
    EXPECT_EQ(chart1.BottomAxis().LabelStyleInUse(), TAxisLabelStyle::talText);
}

}  // namespace
