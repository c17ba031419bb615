#include "display/main_charts.h"

namespace display {

using namespace chart;

namespace {

void ConfigureCommon(TChart& chart)
{
    chart.Legend().Visible = false;
    chart.Legend().Alignment = TLegendAlignment::laTop;
    chart.SetView3D(false);
    chart.SetBevelOuter(TBevelCut::bvNone);
    chart.SetBevelWidth(0);
    chart.BackWall().SetBrush(clWhite, TBrushStyle::bsClear);
    chart.Title().SetBrush(clWhite, TBrushStyle::bsClear);
    chart.Title().Text().SetText({""});
    chart.RightAxis().SetLabels(false);
}

void ConfigureSeries(TFastLineSeries& series, TColor color, const char* valueFormat)
{
    series.Marks.Visible = false;
    series.SetShowInLegend(false);
    series.XValues().SetOrder(TChartListOrder::loAscending);
    series.YValues().SetOrder(TChartListOrder::loNone);
    series.XValues().SetMultiplier(1);
    series.YValues().SetMultiplier(1);
    series.SetValueFormat(valueFormat);
    series.SetPercentFormat("##0.0# %");
    series.SetSeriesColor(color);
}

}  // namespace

void ConfigureMeasurementChart(TChart& chart, TFastLineSeries& series1)
{
    ConfigureCommon(chart);
    chart.SetColor(kMeasurementChartColor);
    chart.SetMarginBottom(5);
    chart.SetMarginLeft(0);
    chart.SetMarginRight(1);
    chart.SetMarginTop(0);
    chart.BottomAxis().Title().SetCaption("ВРЕМЯ, мс");
    chart.LeftAxis().Title().SetCaption("ЛЮКСЫ");
    ConfigureSeries(series1, clRed, "#,##0.0##");
}

void ConfigureCorrelationChart(TChart& chart, TFastLineSeries& corr, TFastLineSeries& period)
{
    ConfigureCommon(chart);
    chart.SetView3DWalls(false);
    chart.SetColor(kCorrelationChartColor);
    chart.SetMarginBottom(0);
    chart.SetMarginLeft(0);
    chart.SetMarginRight(1);
    chart.SetMarginTop(0);
    ConfigureSeries(corr, clRed, "#,##0.0##");
    ConfigureSeries(period, clGreen, "#,##0.0#");
    period.LinePen().SetWidth(4);
}

}  // namespace display
