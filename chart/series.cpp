#include "chart/series.h"

#include "chart/axis.h"
#include "chart/chart.h"
#include "chart/errors.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <stdexcept>

namespace chart {

namespace {

// Colours for ColorEachPoint, picked by point index.
constexpr TColor kPalette[] = {clRed,    clGreen,  0x00FFFF, clBlue,   clWhite,  clGray,
                               0xFF00FF, 0x800080, 0x000080, 0x808000, 0x008080, 0xFFFF00};

}  // namespace

TChartSeries::TChartSeries() : xValues_(*this, "X"), yValues_(*this, "Y")
{
    xValues_.SetOrder(TChartListOrder::loAscending);
}

TChartSeries::~TChartSeries() = default;

void TChartSeries::Changed()
{
    Repaint();
}

void TChartSeries::Repaint()
{
    if (chart_)
        chart_->Invalidate();
}

void TChartSeries::SetSeriesColor(TColor color)
{
    if (seriesColor_ == color)
        return;
    seriesColor_ = color;
    Repaint();
}

void TChartSeries::SetParentChart(TChart* chart)
{
    if (chart == chart_)
        return;
    if (!chart_ || !chart)
        throw std::logic_error("a series joins a chart through TChart::AddSeries and leaves it through RemoveSeries");
    chart->Adopt(chart_->RemoveSeries(*this));
}

int TChartSeries::AddPoint(double x, double y, const std::string& label, TColor color)
{
    xValues_.pending_ = x;
    yValues_.pending_ = y;
    if (OnBeforeAdd && !OnBeforeAdd(*this))
        return -1;
    int index = xValues_.InsertOrdered(x);
    for (TChartValueList* list : valueLists_)
        if (list != &xValues_)
            list->InsertValueAt(index, list->pending_);
    // Per-point lists may be shorter than the points when values were added
    // through the value lists themselves; pad them first.
    if (colors_.size() < static_cast<std::size_t>(index))
        colors_.resize(static_cast<std::size_t>(index), clDefaultPoint);
    if (labels_.size() < static_cast<std::size_t>(index))
        labels_.resize(static_cast<std::size_t>(index));
    colors_.insert(colors_.begin() + index, color);
    labels_.insert(labels_.begin() + index,
                   label.empty() ? std::optional<std::string>() : std::optional<std::string>(label));
    PointAdded(index);
    return index;
}

void TChartSeries::PointAdded(int index)
{
    if (OnAfterAdd)
        OnAfterAdd(*this, index);
    if (Active())
        Repaint();
}

void TChartSeries::ClearPoints()
{
    for (TChartValueList* list : valueLists_)
        list->ClearAll();
    colors_.clear();
    labels_.clear();
    if (OnClearValues)
        OnClearValues(*this);
    if (Active())
        Repaint();
}

void TChartSeries::DeletePoint(int index)
{
    xValues_.CheckIndex(index);
    for (TChartValueList* list : valueLists_)
        list->DeleteValueAt(index);
    if (static_cast<std::size_t>(index) < colors_.size())
        colors_.erase(colors_.begin() + index);
    if (static_cast<std::size_t>(index) < labels_.size())
        labels_.erase(labels_.begin() + index);
    if (Active())
        Repaint();
}

void TChartSeries::SwapPoints(int a, int b)
{
    for (TChartValueList* list : valueLists_)
        list->SwapValues(a, b);
    auto ua = static_cast<std::size_t>(a);
    auto ub = static_cast<std::size_t>(b);
    if (ua < colors_.size() && ub < colors_.size())
        std::swap(colors_[ua], colors_[ub]);
    if (ua < labels_.size() && ub < labels_.size())
        std::swap(labels_[ua], labels_[ub]);
}

std::string TChartSeries::PointLabel(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= labels_.size() || !labels_[static_cast<std::size_t>(index)])
        return {};
    return *labels_[static_cast<std::size_t>(index)];
}

TColor TChartSeries::PointColor(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= colors_.size())
        return seriesColor_;
    TColor c = colors_[static_cast<std::size_t>(index)];
    if (c != clDefaultPoint)
        return c;
    if (ColorEachPoint())
        return kPalette[static_cast<std::size_t>(index) % std::size(kPalette)];
    return seriesColor_;
}

TCustomChartAxis* TChartSeries::GetHorizAxis() const
{
    if (!chart_)
        return nullptr;
    return HorizAxis() == THorizAxis::aTopAxis ? &chart_->TopAxis() : &chart_->BottomAxis();
}

TCustomChartAxis* TChartSeries::GetVertAxis() const
{
    if (!chart_)
        return nullptr;
    return VertAxis() == TVertAxis::aRightAxis ? &chart_->RightAxis() : &chart_->LeftAxis();
}

bool TChartSeries::AssociatedToAxis(const TCustomChartAxis& axis) const
{
    if (!chart_)
        return false;
    switch (axis.Kind()) {
    case TAxisKind::Bottom:
        return HorizAxis() != THorizAxis::aTopAxis;
    case TAxisKind::Top:
        return HorizAxis() == THorizAxis::aTopAxis || HorizAxis() == THorizAxis::aBothHorizAxis;
    case TAxisKind::Left:
        return VertAxis() != TVertAxis::aRightAxis;
    case TAxisKind::Right:
        return VertAxis() == TVertAxis::aRightAxis || VertAxis() == TVertAxis::aBothVertAxis;
    case TAxisKind::Depth:
        return false;
    }
    return false;
}

int TChartSeries::PointScreenX(int index) const
{
    TCustomChartAxis* axis = GetHorizAxis();
    return axis ? axis->ValueToPixel(XValue(index)) : 0;
}

int TChartSeries::PointScreenY(int index) const
{
    TCustomChartAxis* axis = GetVertAxis();
    return axis ? axis->ValueToPixel(YValue(index)) : 0;
}

void TChartSeries::ComputeShownRange()
{
    firstShown_ = lastShown_ = -1;
    int count = PointCount();
    if (count == 0)
        return;
    int n = count - 1;
    const TChartValueList& list = xValues_;
    TCustomChartAxis* axis = GetHorizAxis();
    if (!ClipToAxisRange() || list.Order() == TChartListOrder::loNone || !axis) {
        firstShown_ = 0;
        lastShown_ = n;
        return;
    }
    TRect plot = chart_->PlotRect();
    double lo = axis->PixelToValue(axis->Inverted() ? plot.Right : plot.Left);
    double hi = axis->PixelToValue(axis->Inverted() ? plot.Left : plot.Right);

    // The smallest index at or after `from` whose value is >= limit, or -1.
    auto firstAtLeast = [&](int from, double limit) {
        if (list.Order() == TChartListOrder::loAscending && list.Multiplier() >= 0) {
            int a = from, b = count;
            while (a < b) {
                int mid = a + (b - a) / 2;
                if (list.ValueAt(mid) >= limit)
                    b = mid;
                else
                    a = mid + 1;
            }
            return a < count ? a : -1;
        }
        for (int i = from; i < count; ++i)
            if (list.ValueAt(i) >= limit)
                return i;
        return -1;
    };

    firstShown_ = firstAtLeast(0, lo);
    if (firstShown_ < 0)
        return;
    // All points lie right of the range and none enters from the left:
    // nothing of the series is on screen.
    if (firstShown_ == 0 && list.ValueAt(0) > hi) {
        firstShown_ = -1;
        return;
    }
    if (list.ValueAt(n) <= hi) {
        lastShown_ = n;
        return;
    }
    int last = firstAtLeast(firstShown_, hi);
    lastShown_ = last < 0 ? n : last;
    if (!ExtendToEdge() && list.ValueAt(lastShown_) > hi)
        --lastShown_;
}

// ---------------------------------------------------------------------------

TFastLineSeries::TFastLineSeries()
{
    SetExtendToEdge(true);
    linePen_.SetOnChange([this] {
        if (SeriesColor() != linePen_.Color())
            TChartSeries::SetSeriesColor(linePen_.Color());
        else
            Repaint();
    });
}

void TFastLineSeries::SetSeriesColor(TColor color)
{
    TChartSeries::SetSeriesColor(color);
    linePen_.SetColor(color);
}

void TFastLineSeries::DrawAllValues(TCanvas& canvas)
{
    canvas.SetPen(linePen_.Spec(SeriesColor()));
    canvas.SetBrush(clWhite, TBrushStyle::bsClear);
    int first = FirstShownIndex();
    int last = LastShownIndex();
    if (first < 0)
        return;
    // One segment to each shown point (the first one from its predecessor, or a
    // move to it when it is the first point), skipping points that land on the
    // pixel drawn last; local copies of the mappings and unchecked value
    // lookups (the shown range lies inside the lists).
    const TPixelMap hMap = GetHorizAxis()->PixelMap();
    const TPixelMap vMap = GetVertAxis()->PixelMap();
    const double* xs = XValues().RawValues().data();
    const double* ys = YValues().RawValues().data();
    const double mx = XValues().Multiplier();
    const double my = YValues().Multiplier();
    if (hMap.Log || vMap.Log) {
        // Points without a place on a logarithmic axis break the line.
        bool drawing = false;
        for (int i = std::max(first - 1, 0); i <= last; ++i) {
            const double x = xs[i] * mx;
            const double y = ys[i] * my;
            if (!hMap.Drawable(x) || !vMap.Drawable(y)) {
                drawing = false;
                continue;
            }
            const int px = hMap.Map(x);
            const int py = vMap.Map(y);
            if (!drawing)
                canvas.MoveTo(px, py);
            else if (px != lastPenX_ || py != lastPenY_)
                canvas.LineTo(px, py);
            drawing = true;
            lastPenX_ = px;
            lastPenY_ = py;
        }
        return;
    }
    int lastX = hMap.Map(xs[first] * mx);
    int lastY = vMap.Map(ys[first] * my);
    if (first == 0)
        canvas.MoveTo(lastX, lastY);
    else
        canvas.Line(PointScreenX(first - 1), PointScreenY(first - 1), lastX, lastY);
    for (int i = first + 1; i <= last; ++i) {
        int x = hMap.Map(xs[i] * mx);
        int y = vMap.Map(ys[i] * my);
        if (x == lastX && y == lastY)
            continue;
        canvas.LineTo(x, y);
        lastX = x;
        lastY = y;
    }
    lastPenX_ = lastX;
    lastPenY_ = lastY;
}

void TFastLineSeries::PointAdded(int index)
{
    if (autoRepaint_) {
        TChartSeries::PointAdded(index);
        return;
    }
    // Drawn at once on the visible control, without a repaint.
    TCanvas* canvas = ParentChart() ? ParentChart()->Canvas() : nullptr;
    if (!canvas || !Active())
        return;
    canvas->SetPen(linePen_.Spec(SeriesColor()));
    int from = index > 0 ? index - 1 : 0;
    canvas->MoveTo(PointScreenX(from), PointScreenY(from));
    lastPenX_ = PointScreenX(from);
    lastPenY_ = PointScreenY(from);
    int x = PointScreenX(index);
    int y = PointScreenY(index);
    if (index == 0 || x != lastPenX_ || y != lastPenY_)
        canvas->LineTo(x, y);
    lastPenX_ = x;
    lastPenY_ = y;
}

int TFastLineSeries::Clicked(int x, int y) const
{
    int first = FirstShownIndex();
    int last = LastShownIndex();
    if (first < 0 || last < 0)
        return -1;
    int prevX = 0, prevY = 0;
    for (int i = first; i <= last && i < PointCount(); ++i) {
        int px = PointScreenX(i);
        int py = PointScreenY(i);
        if (px == x && py == y)
            return i;
        if (i > first) {
            // Within about a pixel of the line and inside its bounding box.
            long long dx = px - prevX;
            long long dy = py - prevY;
            long long cross = (static_cast<long long>(x) - prevX) * dy - (static_cast<long long>(y) - prevY) * dx;
            long long tolerance = std::max(std::llabs(dx), std::llabs(dy));
            bool inBox = x >= std::min(prevX, px) && x <= std::max(prevX, px) && y >= std::min(prevY, py) &&
                         y <= std::max(prevY, py);
            if (std::llabs(cross) < tolerance && inBox)
                return i - 1;
        }
        prevX = px;
        prevY = py;
    }
    return -1;
}

}  // namespace chart
