#pragma once
// Numbered points with their labels.

#include "chart/series.h"

namespace chart {

// Points drawn as filled circles in the point's colour, with their labels
// beside them (numbered points on a chart). Points on the same spot share
// one label ("8, 10, 20"); each label goes where it covers no other label and
// no point of the chart's point series, further out with a leader line when
// the places next to its point are taken.
class TPointSeries : public TChartSeries {
public:
    TPointSeries();

    TChartPen& PointerPen() { return pointerPen_; }
    TChartFont& LabelsFont() { return labelsFont_; }
    void DrawAllValues(TCanvas& canvas) override;
    // The point whose circle holds (x, y), the nearest when circles overlap.
    int Clicked(int x, int y) const override;

    CHART_PROPERTY(int, PointerRadius, 4)

private:
    TChartPen pointerPen_;
    TChartFont labelsFont_;
};

}  // namespace chart
