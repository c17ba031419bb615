// Bars from the horizontal axis to each value.

#include "chart/bar_series.h"

#include "chart/axis.h"

#include <algorithm>
#include <cstdlib>

namespace chart {

TBarSeries::TBarSeries()
{
    SetSeriesColor(clRed);
}

int TBarSeries::BarPixels() const
{
    if (BarWidth() > 0)
        return BarWidth();
    const int first = FirstShownIndex();
    const int last = LastShownIndex();
    int closest = 0;
    for (int i = std::max(first, 0) + 1; i <= last; ++i) {
        const int gap = std::abs(PointScreenX(i) - PointScreenX(i - 1));
        if (gap > 0 && (closest == 0 || gap < closest))
            closest = gap;
    }
    if (closest == 0)
        closest = std::abs(GetHorizAxis()->LengthPixels()) / 10;
    return std::max(1, closest * 7 / 10);
}

TRect TBarSeries::BarBounds(int index) const
{
    const TCustomChartAxis& v = *GetVertAxis();
    double origin = v.EffectiveMinimum();
    if (!v.IsLogarithmic() && origin < 0)
        origin = std::min(0.0, v.EffectiveMaximum());
    const int w = BarPixels();
    const int x = PointScreenX(index) - w / 2;
    const int y = PointScreenY(index);
    const int base = v.ValueToPixel(origin);
    return TRect{x, std::min(y, base), x + w, std::max(y, base) + 1};
}

void TBarSeries::DrawAllValues(TCanvas& canvas)
{
    const int first = FirstShownIndex();
    const int last = LastShownIndex();
    if (first < 0)
        return;
    TPenSpec noPen;
    noPen.Style = TPenStyle::psClear;
    canvas.SetPen(noPen);
    const TPixelMap& vMap = GetVertAxis()->PixelMap();
    const TPixelMap& hMap = GetHorizAxis()->PixelMap();
    for (int i = first; i <= last; ++i) {
        if (!hMap.Drawable(XValue(i)) || !vMap.Drawable(YValue(i)))
            continue;
        const TRect r = BarBounds(i);
        canvas.SetBrush(PointColor(i), TBrushStyle::bsSolid);
        canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
    }
}

int TBarSeries::Clicked(int x, int y) const
{
    for (int i = std::max(FirstShownIndex(), 0); i <= LastShownIndex() && i < PointCount(); ++i)
        if (BarBounds(i).Contains(x, y))
            return i;
    return -1;
}

}  // namespace chart
