#pragma once
// A spectrum's bars.

#include "chart/series.h"

namespace chart {

// Vertical bars from the horizontal axis (from zero when the vertical range
// holds it) to each value, in the point's colour (a spectrum).
class TBarSeries : public TChartSeries {
public:
    TBarSeries();

    // The bar's box on screen: left, top, right (exclusive), bottom (exclusive).
    TRect BarBounds(int index) const;
    void DrawAllValues(TCanvas& canvas) override;
    int Clicked(int x, int y) const override;

    // Pixels; 0: seven tenths of the closest spacing of two shown bars, at least 1.
    CHART_PROPERTY(int, BarWidth, 0)

private:
    int BarPixels() const;
};

}  // namespace chart
