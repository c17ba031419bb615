#pragma once
// What the main window does with its measurement chart, apart from the Qt
// controls: filling Series1 from the record in the units the axis selectors
// ask for, the axis titles, and the readout of the point under the pointer.

#include <optional>
#include <string>

#include "analysis/measurement.h"
#include "analysis/number_format.h"

namespace chart {
class TChartSeries;
}

namespace display {

// Items of the axis selectors cbY and cbX.
enum class YUnits { Lux = 0, Converter = 1 };
enum class XUnits { Time = 0, Samples = 1 };

inline YUnits YUnitsFromItem(int item)
{
    return item == 1 ? YUnits::Converter : YUnits::Lux;
}
inline XUnits XUnitsFromItem(int item)
{
    return item == 1 ? XUnits::Samples : XUnits::Time;
}

std::string LeftAxisTitle(YUnits units);    // "ЛЮКСЫ" / "единицы АЦП"
std::string BottomAxisTitle(XUnits units);  // "ВРЕМЯ, мс" / "ВЫБОРКИ"

// The reply processing's fill: one point per sample, X = i, Y = Samples[i] ×
// valueScale, label = i × timeScale as a whole number.
void FillMeasurementSeries(chart::TChartSeries& series, const analysis::MeasurementRecord& record, double valueScale,
                           double timeScale, const analysis::NumberFormat& nf);

// The selectors' refill: X = i; Y in lux or converter units; in time mode the
// sample's time in milliseconds as label, in sample mode no label.
void RefillMeasurementSeries(chart::TChartSeries& series, const analysis::MeasurementRecord& record, YUnits y, XUnits x,
                             const analysis::NumberFormat& nf);

// The readout fields after a mouse move to (x, y).
struct Readout {
    bool touched = false;           // false: the fields keep their state entirely
    bool visible = false;           // show (true) or hide the fields at the end
    std::optional<std::string> eX;  // new texts, when a point lies on column x
    std::optional<std::string> eY;
};

// `chartHeight` and `fieldHeight` give the bottom band in which the fields hide.
Readout MouseReadout(const chart::TChartSeries& series, const analysis::MeasurementRecord& record, YUnits y,
                     XUnits xUnits, int x, int yPixel, int chartHeight, int fieldHeight,
                     const analysis::NumberFormat& nf);

}  // namespace display
