#include "chart/series.h"

#include "chart/axis.h"
#include "chart/chart.h"
#include "chart/errors.h"
#include "chart/spot_labels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
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

namespace chart {

// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------

TPointSeries::TPointSeries()
{
    XValues().SetOrder(TChartListOrder::loNone);
    SetSeriesColor(clRed);
    auto repaint = [this] { Repaint(); };
    pointerPen_.SetOnChange(repaint);
    labelsFont_.SetOnChange(repaint);
}

namespace {

bool Overlap(const TRect& a, const TRect& b)
{
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

bool Inside(const TRect& inner, const TRect& outer)
{
    return inner.Left >= outer.Left && inner.Right <= outer.Right && inner.Top >= outer.Top &&
           inner.Bottom <= outer.Bottom;
}

}  // namespace

std::vector<TRect> PointBoxes(TChart& chart)
{
    std::vector<TRect> boxes;
    for (int s = 0; s < chart.SeriesCount(); ++s) {
        const auto* points = dynamic_cast<const TPointSeries*>(&chart.Series(s));
        if (!points || !points->Active())
            continue;
        const int r = points->PointerRadius();
        // Every point, not the shown range: that of a series drawn later is not yet computed.
        for (int i = 0; i < points->PointCount(); ++i) {
            if (!points->GetHorizAxis()->PixelMap().Drawable(points->XValue(i)) ||
                !points->GetVertAxis()->PixelMap().Drawable(points->YValue(i)))
                continue;
            const int x = points->PointScreenX(i);
            const int y = points->PointScreenY(i);
            boxes.push_back(TRect{x - r, y - r, x + r + 1, y + r + 1});
        }
    }
    return boxes;
}

void DrawSpotLabels(TCanvas& canvas, TChart& chart, const TFontSpec& font, int radius,
                    const std::vector<TLabelSpot>& labelled, const std::vector<TRect>& keepClear)
{
    const int r = radius;
    // The spots on one place gathered under one label.
    std::vector<TLabelSpot> spots;
    for (const TLabelSpot& spot : labelled) {
        if (spot.label.empty())
            continue;
        const auto same = std::find_if(spots.begin(), spots.end(), [&](const TLabelSpot& s) {
            return (s.x - spot.x) * (s.x - spot.x) + (s.y - spot.y) * (s.y - spot.y) <= r * r / 4;
        });
        if (same != spots.end())
            same->label += ", " + spot.label;
        else
            spots.push_back(spot);
    }
    if (spots.empty())
        return;
    canvas.SetFont(font);
    canvas.SetTextBackground(true, clWhite);
    canvas.SetBrush(clWhite, TBrushStyle::bsClear);
    const int fh = canvas.FontHeight();
    const TRect plot = chart.PlotRect();
    std::vector<TRect>& placed = chart.PlacedLabels();
    // How many labels and boxes to keep clear a box would cover; -1 when it leaves the plot.
    auto covered = [&](const TRect& box) {
        if (!Inside(box, plot))
            return -1;
        return static_cast<int>(
            std::count_if(placed.begin(), placed.end(), [&](const TRect& p) { return Overlap(box, p); }) +
            std::count_if(keepClear.begin(), keepClear.end(), [&](const TRect& d) { return Overlap(box, d); }));
    };
    std::vector<std::pair<TRect, std::string>> texts;
    for (const TLabelSpot& spot : spots) {
        const int w = canvas.TextWidth(spot.label);
        // Rings of places around the spot, ever further out: right, left, above, below, then the
        // directions between; the first free one, else the one covering least.
        std::optional<TRect> chosen;
        int chosenRing = 0;
        int least = -1;
        constexpr int kRings = 16;
        constexpr int kDirections = 16;
        for (int ring = 0; ring < kRings && least != 0; ++ring) {
            const int d = r + 2 + ring * (fh / 2 + 1);
            for (int k = 0; k < kDirections && least != 0; ++k) {
                // 0, 180, 90, 270 degrees first, then the diagonals, then between.
                static constexpr int kOrder[kDirections] = {0, 8, 4, 12, 2, 14, 6, 10, 1, 15, 7, 9, 3, 13, 5, 11};
                const double angle = kOrder[k] * 2.0 * std::numbers::pi / kDirections;
                const double cx = spot.x + d * std::cos(angle);
                const double cy = spot.y - d * std::sin(angle);
                // The box touches the ring on the side facing the spot.
                const double c = std::cos(angle);
                const double sn = std::sin(angle);
                const int left = static_cast<int>(std::lround(c > 0.3 ? cx : c < -0.3 ? cx - w : cx - w / 2.0));
                const int top = static_cast<int>(std::lround(sn > 0.3 ? cy - fh : sn < -0.3 ? cy : cy - fh / 2.0));
                const TRect box{left, top, left + w + 1, top + fh};
                const int n = covered(box);
                if (n >= 0 && (least < 0 || n < least)) {
                    least = n;
                    chosen = box;
                    chosenRing = ring;
                }
            }
        }
        if (!chosen) {
            // Nowhere inside the plot: beside the spot, kept inside.
            const int top = std::clamp(spot.y - fh / 2, plot.Top + 1, std::max(plot.Top + 1, plot.Bottom - fh));
            chosen = TRect{spot.x + r + 2, top, spot.x + r + 3 + w, top + fh};
        }
        const int ring = chosenRing + 1;
        if (ring > 1) {
            // Away from its spot: a leader line from the spot to the label's nearest point.
            const int lx = std::clamp(spot.x, chosen->Left, chosen->Right - 1);
            const int ly = std::clamp(spot.y, chosen->Top, chosen->Bottom - 1);
            const double length = std::hypot(lx - spot.x, ly - spot.y);
            if (length > r) {
                canvas.SetPen(TPenSpec{clGray, 1, TPenStyle::psSolid});
                canvas.Line(spot.x + static_cast<int>(std::lround((lx - spot.x) * r / length)),
                            spot.y + static_cast<int>(std::lround((ly - spot.y) * r / length)), lx, ly);
            }
        }
        placed.push_back(*chosen);
        texts.emplace_back(*chosen, spot.label);
    }
    // The labels over the leader lines, on white: a line never runs through a number.
    canvas.SetTextBackground(false, clWhite);
    for (const auto& [box, label] : texts)
        canvas.TextOut(box.Left, box.Top, label, THorizAlign::Left, TVertAlign::Top);
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
