#include "display/presentation.h"

#include <algorithm>

#include "chart/series.h"

namespace display {

namespace {

int ValidSampleCount(const analysis::MeasurementRecord& record)
{
    return std::clamp<int>(record.SampleCount, 0, analysis::kSampleCapacity);
}

double SampleTime(const analysis::MeasurementRecord& record, int k)
{
    return static_cast<double>(k) * record.TimeMultiplier * static_cast<double>(record.SampleInterval);
}

double SampleLux(const analysis::MeasurementRecord& record, int k)
{
    return record.Samples[static_cast<std::size_t>(k)] * static_cast<double>(record.LuxFactor) * record.RangeDecade;
}

}  // namespace

std::string LeftAxisTitle(YUnits units)
{
    return units == YUnits::Converter ? "единицы АЦП" : "ЛЮКСЫ";
}

std::string BottomAxisTitle(XUnits units)
{
    return units == XUnits::Samples ? "ВЫБОРКИ" : "ВРЕМЯ, мс";
}

void FillMeasurementSeries(chart::TChartSeries& series, const analysis::MeasurementRecord& record, double valueScale,
                           double timeScale, const analysis::NumberFormat& nf)
{
    const int n = ValidSampleCount(record);
    for (int i = 0; i < n; ++i)
        series.AddPoint(i, record.Samples[static_cast<std::size_t>(i)] * valueScale,
                        analysis::FormatFixed(i * timeScale, 0, nf), chart::clDefaultPoint);
}

void RefillMeasurementSeries(chart::TChartSeries& series, const analysis::MeasurementRecord& record, YUnits y, XUnits x,
                             const analysis::NumberFormat& nf)
{
    const int n = ValidSampleCount(record);
    for (int i = 0; i < n; ++i) {
        const double value =
            y == YUnits::Converter ? record.Samples[static_cast<std::size_t>(i)] : SampleLux(record, i);
        const std::string label =
            x == XUnits::Time ? analysis::FormatFixed(SampleTime(record, i), 0, nf) : std::string();
        series.AddPoint(i, value, label, chart::clDefaultPoint);
    }
}

Readout MouseReadout(const chart::TChartSeries& series, const analysis::MeasurementRecord& record, YUnits y,
                     XUnits xUnits, int x, int yPixel, int chartHeight, int fieldHeight,
                     const analysis::NumberFormat& nf)
{
    Readout r;
    const int first = series.FirstShownIndex();
    if (series.PointCount() == 0 || first < 0)
        return r;
    r.touched = true;
    r.visible = true;
    // The shown range comes from the last paint; never read beyond the record.
    const int last = std::min({series.LastShownIndex(), series.PointCount() - 1, ValidSampleCount(record) - 1});
    for (int k = first; k <= last; ++k) {
        if (series.PointScreenX(k) != x)
            continue;  // the last point on the pointer's column wins
        r.eX = xUnits == XUnits::Time ? analysis::FormatFixed(SampleTime(record, k), 0, nf) : analysis::FormatInt(k);
        r.eY = y == YUnits::Lux ? analysis::FormatFixed(SampleLux(record, k), 2, nf)
                                : analysis::FormatInt(record.Samples[static_cast<std::size_t>(k)]);
    }
    if (x < 20 || yPixel > chartHeight - fieldHeight - 10)
        r.visible = false;
    return r;
}

}  // namespace display
