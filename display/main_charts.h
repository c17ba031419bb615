#pragma once
// The settings of the main window's two charts: the measurement chart
// (Chart1 with Series1) and the autocorrelation chart (ChartCorr with
// SeriesCorr and SeriesPeriod).

#include "chart/chart.h"

namespace display {

constexpr chart::TColor kMeasurementChartColor = 15130422;
constexpr chart::TColor kCorrelationChartColor = 15114038;

// Colours, margins, titles, legend, 2-D view and the series' pen and formats
// of the measurement chart. The series must belong to the chart.
void ConfigureMeasurementChart(chart::TChart& chart, chart::TFastLineSeries& series1);

// The same for the autocorrelation chart with its curve and period marker.
void ConfigureCorrelationChart(chart::TChart& chart, chart::TFastLineSeries& corr, chart::TFastLineSeries& period);

}  // namespace display
