#pragma once
// Numbered spots' labels, shared by the series that draw them (points,
// arrows): spots on one place share one label ("8, 10, 20"); each label goes
// where it covers no label drawn so far in this drawing and no box to keep
// clear, further out with a leader line when the places next to its spot are
// taken.

#include "chart/canvas.h"

#include <string>
#include <vector>

namespace chart {

class TChart;

struct TLabelSpot {
    int x = 0;
    int y = 0;
    std::string label;
};

// Draws the labels of `spots` (each `radius` pixels around its place) inside
// the chart's plot and adds their boxes to the chart's placed labels.
void DrawSpotLabels(TCanvas& canvas, TChart& chart, const TFontSpec& font, int radius,
                    const std::vector<TLabelSpot>& spots, const std::vector<TRect>& keepClear);

// The boxes of the shown points of every point series of the chart.
std::vector<TRect> PointBoxes(TChart& chart);

}  // namespace chart
