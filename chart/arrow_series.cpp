#include "chart/arrow_series.h"

#include "chart/axis.h"
#include "chart/chart.h"
#include "chart/spot_labels.h"

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

constexpr int kLabelRadius = 4;

TRect BoxAround(const std::vector<TPoint>& corners)
{
    TRect box{corners.front().X, corners.front().Y, corners.front().X + 1, corners.front().Y + 1};
    for (const TPoint& p : corners) {
        box.Left = std::min(box.Left, p.X);
        box.Top = std::min(box.Top, p.Y);
        box.Right = std::max(box.Right, p.X + 1);
        box.Bottom = std::max(box.Bottom, p.Y + 1);
    }
    return box;
}

}  // namespace

TArrowSeries::TArrowSeries() : endX_(*this, "EndX"), endY_(*this, "EndY")
{
    XValues().SetOrder(TChartListOrder::loNone);
    SetSeriesColor(clBlue);
    labelsFont_.SetOnChange([this] { Repaint(); });
}

int TArrowSeries::AddArrow(double x0, double y0, double x1, double y1, const std::string& label, TColor color)
{
    const int index = AddPoint(x0, y0, label, color);
    if (index >= 0) {
        endX_.SetValueAt(index, x1);
        endY_.SetValueAt(index, y1);
    }
    return index;
}

bool TArrowSeries::Drawable(int index) const
{
    const TPixelMap& h = GetHorizAxis()->PixelMap();
    const TPixelMap& v = GetVertAxis()->PixelMap();
    return h.Drawable(XValue(index)) && v.Drawable(YValue(index)) && h.Drawable(endX_.ValueAt(index)) &&
           v.Drawable(endY_.ValueAt(index));
}

TPoint TArrowSeries::StartPixel(int index) const
{
    return {PointScreenX(index), PointScreenY(index)};
}

TPoint TArrowSeries::EndPixel(int index) const
{
    if (!ParentChart())
        return {};
    return {GetHorizAxis()->ValueToPixel(endX_.ValueAt(index)), GetVertAxis()->ValueToPixel(endY_.ValueAt(index))};
}

void TArrowSeries::DrawAllValues(TCanvas& canvas)
{
    const int first = FirstShownIndex();
    const int last = LastShownIndex();
    if (first < 0)
        return;
    std::vector<TLabelSpot> spots;
    std::vector<TRect> heads;  // and the dots: no label covers them
    for (int i = first; i <= last; ++i) {
        if (!Drawable(i))
            continue;
        const TPoint from = StartPixel(i);
        const TPoint to = EndPixel(i);
        const TColor color = PointColor(i);
        canvas.SetPen(TPenSpec{color, 1, TPenStyle::psSolid});
        canvas.SetBrush(color, TBrushStyle::bsSolid);
        const double dx = to.X - from.X;
        const double dy = to.Y - from.Y;
        const double length = std::hypot(dx, dy);
        std::vector<TPoint> head;
        if (length < 1) {
            const int r = LineWidth() + 1;
            canvas.Ellipse(to.X - r, to.Y - r, to.X + r + 1, to.Y + r + 1);
            head = {{to.X - r, to.Y - r}, {to.X + r, to.Y + r}};
        } else {
            // The head's base across the arrow, HeadLength back from the tip (the whole arrow when shorter).
            const double ux = dx / length;
            const double uy = dy / length;
            const double back = std::min<double>(HeadLength(), length);
            const double bx = to.X - ux * back;
            const double by = to.Y - uy * back;
            const double half = HeadWidth() / 2.0;
            head = {to,
                    {static_cast<int>(std::lround(bx - uy * half)), static_cast<int>(std::lround(by + ux * half))},
                    {static_cast<int>(std::lround(bx + uy * half)), static_cast<int>(std::lround(by - ux * half))}};
            if (back < length) {
                canvas.SetPen(TPenSpec{color, LineWidth(), TPenStyle::psSolid});
                canvas.Line(from.X, from.Y, static_cast<int>(std::lround(bx)), static_cast<int>(std::lround(by)));
                canvas.SetPen(TPenSpec{color, 1, TPenStyle::psSolid});
            }
            canvas.Polygon(head);
        }
        heads.push_back(BoxAround(head));
        const TPoint at = LabelAtEnd() ? to : from;
        spots.push_back({at.X, at.Y, PointLabel(i)});
    }
    TChart& chart = *ParentChart();
    std::vector<TRect> keepClear = PointBoxes(chart);
    keepClear.insert(keepClear.end(), heads.begin(), heads.end());
    DrawSpotLabels(canvas, chart, labelsFont_.Spec(), kLabelRadius, spots, keepClear);
}

int TArrowSeries::Clicked(int x, int y) const
{
    for (int i = std::max(FirstShownIndex(), 0); i <= LastShownIndex() && i < PointCount(); ++i) {
        if (!Drawable(i))
            continue;
        const TPoint a = StartPixel(i);
        const TPoint b = EndPixel(i);
        const double dx = b.X - a.X;
        const double dy = b.Y - a.Y;
        const double squared = dx * dx + dy * dy;
        const double t = squared > 0 ? std::clamp(((x - a.X) * dx + (y - a.Y) * dy) / squared, 0.0, 1.0) : 0.0;
        if (std::hypot(a.X + t * dx - x, a.Y + t * dy - y) <= 3)
            return i;
    }
    return -1;
}

}  // namespace chart
