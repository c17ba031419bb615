#pragma once
// The settings of the main window's two charts: the measurement chart
// (Chart1 with Series1) and the autocorrelation chart (ChartCorr with
// SeriesCorr and SeriesPeriod).

#include "chart/chart.h"

namespace chart {

constexpr TColor kMeasurementChartColor = 15130422;
constexpr TColor kCorrelationChartColor = 15114038;

// Colours, margins, titles, legend, 2-D view and the series' pen and formats
// of the measurement chart. The series must belong to the chart.
void ConfigureMeasurementChart(TChart& chart, TFastLineSeries& series1);

// The same for the autocorrelation chart with its curve and period marker.
void ConfigureCorrelationChart(TChart& chart, TFastLineSeries& corr, TFastLineSeries& period);

}  // namespace chart
