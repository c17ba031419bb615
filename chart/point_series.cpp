// Points drawn as circles with their labels beside them.

#include "chart/point_series.h"

#include "chart/axis.h"
#include "chart/chart.h"
#include "chart/spot_labels.h"

#include <algorithm>

namespace chart {

TPointSeries::TPointSeries()
{
    XValues().SetOrder(TChartListOrder::loNone);
    SetSeriesColor(clRed);
    auto repaint = [this] { Repaint(); };
    pointerPen_.SetOnChange(repaint);
    labelsFont_.SetOnChange(repaint);
}

void TPointSeries::DrawAllValues(TCanvas& canvas)
{
    const int first = FirstShownIndex();
    const int last = LastShownIndex();
    if (first < 0)
        return;
    const TPixelMap& hMap = GetHorizAxis()->PixelMap();
    const TPixelMap& vMap = GetVertAxis()->PixelMap();
    const int r = PointerRadius();
    std::vector<TLabelSpot> spots;
    for (int i = first; i <= last; ++i) {
        if (!hMap.Drawable(XValue(i)) || !vMap.Drawable(YValue(i)))
            continue;
        const int x = hMap.Map(XValue(i));
        const int y = vMap.Map(YValue(i));
        canvas.SetPen(pointerPen_.Spec());
        canvas.SetBrush(PointColor(i), TBrushStyle::bsSolid);
        canvas.Ellipse(x - r, y - r, x + r + 1, y + r + 1);
        spots.push_back({x, y, PointLabel(i)});
    }
    TChart& chart = *ParentChart();
    DrawSpotLabels(canvas, chart, labelsFont_.Spec(), r, spots, PointBoxes(chart));
}

int TPointSeries::Clicked(int x, int y) const
{
    int best = -1;
    long long bestDistance = 0;
    const long long reach = static_cast<long long>(PointerRadius() + 1) * (PointerRadius() + 1);
    for (int i = std::max(FirstShownIndex(), 0); i <= LastShownIndex() && i < PointCount(); ++i) {
        if (!GetHorizAxis()->PixelMap().Drawable(XValue(i)) || !GetVertAxis()->PixelMap().Drawable(YValue(i)))
            continue;
        const long long dx = PointScreenX(i) - x;
        const long long dy = PointScreenY(i) - y;
        const long long d = dx * dx + dy * dy;
        if (d <= reach && (best < 0 || d < bestDistance)) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace chart
