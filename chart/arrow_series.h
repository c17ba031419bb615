#pragma once
// Arrows from one place to another in values of the series' axes (either may
// be logarithmic): a line with a filled head at its end and, when the arrow
// has one, a label beside its start or its end, placed clear of the other
// labels as the point series' are. An arrow whose ends fall on one pixel is a
// dot.

#include "chart/series.h"

namespace chart {

class TArrowSeries : public TChartSeries {
public:
    TArrowSeries();

    // An arrow from (x0, y0) to (x1, y1); returns its index.
    int AddArrow(double x0, double y0, double x1, double y1, const std::string& label = {},
                 TColor color = clDefaultPoint);
    // The ends; the starts are the X and Y values. The ends do not feed the axes' automatic ranges.
    const TChartValueList& EndXValues() const { return endX_; }
    const TChartValueList& EndYValues() const { return endY_; }
    TPoint StartPixel(int index) const;
    TPoint EndPixel(int index) const;

    TChartFont& LabelsFont() { return labelsFont_; }
    void DrawAllValues(TCanvas& canvas) override;
    // The arrow whose line passes within three pixels of (x, y), or -1.
    int Clicked(int x, int y) const override;

    CHART_PROPERTY(int, LineWidth, 2)
    CHART_PROPERTY(int, HeadLength, 11)  // pixels along the arrow
    CHART_PROPERTY(int, HeadWidth, 9)    // pixels across its base
    CHART_PROPERTY(bool, LabelAtEnd, false)

private:
    bool Drawable(int index) const;

    TChartValueList endX_;
    TChartValueList endY_;
    TChartFont labelsFont_;
};

}  // namespace chart
