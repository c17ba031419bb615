#include "chart/chart.h"

#include "chart/errors.h"

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

// a * b / c rounded to nearest.
int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return 0;
    return static_cast<int>(std::llround(static_cast<double>(a) * b / c));
}

// Sets a flag for the lifetime of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

}  // namespace

TChart::TChart()
    : title_(clBlue, [this] { Invalidate(); }),
      foot_(clRed, [this] { Invalidate(); }),
      backWall_([this] { Invalidate(); })
{
    axes_[0] = std::make_unique<TChartAxis>(*this, TAxisKind::Bottom);
    axes_[1] = std::make_unique<TChartAxis>(*this, TAxisKind::Top);
    axes_[2] = std::make_unique<TChartAxis>(*this, TAxisKind::Left);
    axes_[3] = std::make_unique<TChartAxis>(*this, TAxisKind::Right);
    axes_[4] = std::make_unique<TChartAxis>(*this, TAxisKind::Depth);
    autoRepaint_ = true;
}

TChart::~TChart()
{
    autoRepaint_ = false;
    for (auto& s : series_)
        s->chart_ = nullptr;
    series_.clear();
}

void TChart::Adopt(std::unique_ptr<TChartSeries> series)
{
    series->chart_ = this;
    series_.push_back(std::move(series));
    Invalidate();
}

std::unique_ptr<TChartSeries> TChart::RemoveSeries(TChartSeries& series)
{
    auto it = std::find_if(series_.begin(), series_.end(), [&](const auto& p) { return p.get() == &series; });
    if (it == series_.end())
        return nullptr;
    std::unique_ptr<TChartSeries> owned = std::move(*it);
    series_.erase(it);
    owned->chart_ = nullptr;
    Invalidate();
    return owned;
}

TChartSeries& TChart::Series(int index) const
{
    if (index < 0 || index >= SeriesCount())
        throw EListError(index);
    return *series_[static_cast<std::size_t>(index)];
}

void TChart::SetBounds(int width, int height)
{
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    Invalidate();
}

void TChart::Invalidate()
{
    if (!autoRepaint_)
        return;
    dirty_ = true;
    // A change made by a paint event must not start another paint from
    // inside this one; it is asked for when this paint is over.
    if (painting_)
        changedWhilePainting_ = true;
    else if (host_)
        host_->InvalidateChart();
}

TCanvas* TChart::Canvas() const
{
    return host_ ? host_->LiveCanvas() : nullptr;
}

bool TChart::ActiveSeriesExists() const
{
    return std::any_of(series_.begin(), series_.end(), [](const auto& s) { return s->Active(); });
}

TAxisExtremes TChart::SeriesExtremes(const TChartAxis& axis) const
{
    TAxisExtremes e;
    const bool anyActive = axis.IsUsed();
    bool found = false;
    for (const auto& s : series_) {
        if (!s->AssociatedToAxis(axis) || s->PointCount() == 0 || (anyActive && !s->Active()))
            continue;
        const TChartValueList& list = axis.Horizontal() ? s->XValues() : s->YValues();
        double l = list.Lowest();
        double h = list.Highest();
        if (!found) {
            e.Lowest = l;
            e.Highest = h;
            found = true;
        } else {
            e.Lowest = std::min(e.Lowest, l);
            e.Highest = std::max(e.Highest, h);
        }
    }
    if (!axis.IsLogarithmic())
        return e;
    for (const auto& s : series_) {
        if (!s->AssociatedToAxis(axis) || (anyActive && !s->Active()))
            continue;
        const TChartValueList& list = axis.Horizontal() ? s->XValues() : s->YValues();
        for (int k = 0; k < list.Count(); ++k) {
            const double v = list.ValueAt(k);
            if (!(v > 0) || !std::isfinite(v))
                continue;
            if (e.HighestPositive == 0 || v < e.LowestPositive)
                e.LowestPositive = v;
            e.HighestPositive = std::max(e.HighestPositive, v);
        }
    }
    return e;
}

void TChart::Paint(TCanvas& controlCanvas)
{
    if (!dirty_ && buffer_ && BufferedDisplay_ && buffer_->Width() == width_ && buffer_->Height() == height_) {
        controlCanvas.Draw(0, 0, *buffer_);
        return;
    }
    DrawTo(controlCanvas, TRect{0, 0, width_, height_});
}

void TChart::DrawTo(TCanvas& canvas, const TRect& rect)
{
    {
        FlagScope painting(painting_);
        changedWhilePainting_ = false;
        DrawToTarget(canvas, rect);
    }
    if (changedWhilePainting_) {
        changedWhilePainting_ = false;
        Invalidate();
    }
}

void TChart::DrawToTarget(TCanvas& canvas, const TRect& rect)
{
    placedLabels_.clear();
    TCanvas* target = &canvas;
    if (BufferedDisplay_) {
        if (!buffer_ || buffer_->Width() != rect.Width() || buffer_->Height() != rect.Height())
            buffer_ = canvas.CreateBitmap(rect.Width(), rect.Height());
        target = &buffer_->Canvas();
        bounds_ = TRect{0, 0, rect.Width(), rect.Height()};
    } else {
        bounds_ = rect;
    }
    int w = bounds_.Width();
    int h = bounds_.Height();
    plotRect_ = TRect{bounds_.Left + MulDiv(MarginLeft_, w, 100), bounds_.Top + MulDiv(MarginTop_, h, 100),
                      bounds_.Right - MulDiv(MarginRight_, w, 100), bounds_.Bottom - MulDiv(MarginBottom_, h, 100)};
    plotRect_.Left = std::max(plotRect_.Left, bounds_.Left);
    plotRect_.Top = std::max(plotRect_.Top, bounds_.Top);
    if (plotRect_.Right < plotRect_.Left)
        plotRect_.Right = plotRect_.Left + 1;
    else if (plotRect_.Right == plotRect_.Left)
        plotRect_.Right = plotRect_.Left + width_;
    if (plotRect_.Bottom < plotRect_.Top)
        plotRect_.Bottom = plotRect_.Top + 1;
    else if (plotRect_.Bottom == plotRect_.Top)
        plotRect_.Bottom = plotRect_.Top + height_;

    InternalDraw(*target);

    if (BufferedDisplay_) {
        canvas.Draw(rect.Left, rect.Top, *buffer_);
        dirty_ = false;
    }
}

void TChart::DrawTitleFoot(TCanvas& canvas, TChartTitle& title, bool isFoot, const TRect& area)
{
    if (!title.Visible())
        return;
    int n = title.Text().Count();
    if (n == 0)
        return;
    canvas.SetFont(title.Font().Spec());
    int fh = canvas.FontHeight();
    TRect box = area;
    if (title.Frame().Visible()) {
        int fw = title.Frame().Width();
        box = TRect{box.Left + fw, box.Top + fw, box.Right - fw, box.Bottom - fw};
    }
    int wWidth = canvas.TextWidth("W");
    if (title.Frame().Visible() || title.BrushStyle() != TBrushStyle::bsClear) {
        TRect frame = box;
        if (isFoot)
            frame.Top = box.Bottom - n * fh;
        else
            frame.Bottom = box.Top + n * fh;
        if (title.AdjustFrame()) {
            int widest = 0;
            for (const std::string& line : title.Text().Lines())
                widest = std::max(widest, canvas.TextWidth(line));
            int half = (widest + wWidth) / 2;
            int mid = (box.Left + box.Right) / 2;
            frame.Left = std::max(box.Left, mid - half);
            frame.Right = std::min(box.Right, mid + half);
        }
        canvas.SetPen(title.Frame().Spec());
        canvas.SetBrush(title.BrushColor(), title.BrushStyle());
        canvas.Rectangle(frame.Left, frame.Top, frame.Right, frame.Bottom);
    }
    canvas.SetFont(title.Font().Spec());
    canvas.SetTextBackground(true, Color_);
    for (int k = 0; k < n; ++k) {
        const std::string& line = title.Text()[k];
        int y = isFoot ? box.Bottom - (n - k) * fh : box.Top + k * fh;
        if (line.empty())
            continue;
        int w = canvas.TextWidth(line);
        int x = 0;
        switch (title.Alignment()) {
        case TTitleAlignment::taCenter:
            x = (box.Left + box.Right) / 2 - w / 2;
            break;
        case TTitleAlignment::taLeftJustify:
            x = box.Left + wWidth / 2;
            break;
        case TTitleAlignment::taRightJustify:
            x = box.Right - w - wWidth / 2;
            break;
        }
        canvas.TextOut(x, y, line, THorizAlign::Left, TVertAlign::Top);
    }
    if (isFoot) {
        footRect_ = TRect{box.Left, box.Bottom - n * fh, box.Right, box.Bottom};
        plotRect_.Bottom = box.Bottom - n * fh - 5;
    } else {
        titleRect_ = TRect{box.Left, box.Top, box.Right, box.Top + n * fh};
        plotRect_.Top = box.Top + n * fh + 5;
    }
}

void TChart::ResetCanvas(TCanvas& canvas)
{
    canvas.SetPen(TPenSpec{});
    canvas.SetBrush(clWhite, TBrushStyle::bsSolid);
    TFontSpec font;
    font.Size = 10;
    canvas.SetFont(font);
    canvas.SetTextBackground(true, clWhite);
}

void TChart::InternalDraw(TCanvas& canvas)
{
    canvas.SetBrush(Color_, TBrushStyle::bsSolid);
    canvas.FillRect(bounds_);

    TRect titleArea = plotRect_;
    titleRect_ = footRect_ = TRect{};
    DrawTitleFoot(canvas, title_, false, titleArea);
    DrawTitleFoot(canvas, foot_, true, titleArea);

    for (int i = 0; i < 4; ++i) {
        TChartAxis& axis = *axes_[static_cast<std::size_t>(i)];
        axis.AdjustMaxMin(SeriesExtremes(axis));
    }
    for (int i = 0; i < 4; ++i) {
        TChartAxis& axis = *axes_[static_cast<std::size_t>(i)];
        if (axis.IsShown())
            axis.CalcRoom(canvas, plotRect_);
    }
    for (auto& axis : axes_)
        axis->SetPixelsFrom(plotRect_);

    canvas.SetPen(backWall_.Pen().Spec());
    canvas.SetBrush(backWall_.BrushColor(), backWall_.BrushStyle());
    canvas.Rectangle(plotRect_.Left, plotRect_.Top, plotRect_.Right + 1, plotRect_.Bottom + 1);

    DrawRegions(canvas);

    if (AxisVisible_) {
        if (OnBeforeDrawAxes)
            OnBeforeDrawAxes(*this);
        for (int i = 0; i < 4; ++i) {
            TChartAxis& axis = *axes_[static_cast<std::size_t>(i)];
            if (axis.IsShown())
                axis.Draw(canvas);
        }
    }
    if (OnBeforeDrawSeries)
        OnBeforeDrawSeries(*this);

    // Series stay inside the plotting rectangle; the frame around it is not theirs.
    const TRect clip = plotRect_;
    for (auto& s : series_) {
        if (!s->Active())
            continue;
        s->ComputeShownRange();
        if (s->FirstShownIndex() == -1)
            continue;
        if (s->BeforeDrawValues)
            s->BeforeDrawValues(*s);
        if (ClipPoints_)
            canvas.ClipRectangle(clip);
        s->DrawAllValues(canvas);
        if (ClipPoints_)
            canvas.UnClipRectangle();
        if (s->AfterDrawValues)
            s->AfterDrawValues(*s);
    }
    if (zoom_.Active)
        DrawZoomRectangle(canvas);
    ResetCanvas(canvas);
    if (OnAfterDraw)
        OnAfterDraw(*this);
}

void TChart::AddRegion(TChartRegion region)
{
    regions_.push_back(std::move(region));
    Invalidate();
}

void TChart::DrawRegions(TCanvas& canvas)
{
    if (regions_.empty())
        return;
    const TPixelMap& h = BottomAxis().PixelMap();
    const TPixelMap& v = LeftAxis().PixelMap();
    // Inside the back wall's frame.
    canvas.ClipRectangle(TRect{plotRect_.Left + 1, plotRect_.Top + 1, plotRect_.Right, plotRect_.Bottom});
    TPenSpec noPen;
    noPen.Style = TPenStyle::psClear;
    canvas.SetPen(noPen);
    for (const TChartRegion& region : regions_) {
        std::vector<TPoint> corners;
        corners.reserve(region.Corners.size());
        for (const auto& [x, y] : region.Corners) {
            if (!h.Drawable(x) || !v.Drawable(y))
                break;
            corners.push_back(TPoint{h.Map(x), v.Map(y)});
        }
        if (corners.size() != region.Corners.size() || corners.size() < 3)
            continue;
        canvas.SetBrush(region.Color, TBrushStyle::bsSolid);
        canvas.Polygon(corners);
    }
    canvas.UnClipRectangle();
}

void TChart::DrawZoomRectangle(TCanvas& canvas)
{
    TPenSpec pen;
    pen.Color = (Color_ & 0xFFFFFF) == clWhite ? clBlack : (Color_ & 0xFFFFFF);
    pen.Mode = TPenMode::pmNotXor;
    canvas.SetPen(pen);
    canvas.SetBrush(clWhite, TBrushStyle::bsClear);
    canvas.Rectangle(zoom_.X0, zoom_.Y0, zoom_.X1, zoom_.Y1);
}

std::unique_ptr<TBitmap> TChart::RenderToBitmap(TColor background, const TRect& rect)
{
    TCanvas* base = Canvas();
    if (!base)
        return nullptr;
    std::unique_ptr<TBitmap> bitmap = base->CreateBitmap(rect.Width(), rect.Height());
    if (background != clWhite) {
        bitmap->Canvas().SetBrush(background, TBrushStyle::bsSolid);
        bitmap->Canvas().FillRect(TRect{0, 0, rect.Width(), rect.Height()});
    }
    bool buffered = BufferedDisplay_;
    BufferedDisplay_ = false;
    try {
        DrawTo(bitmap->Canvas(), TRect{0, 0, rect.Width(), rect.Height()});
    } catch (...) {
        BufferedDisplay_ = buffered;
        throw;
    }
    BufferedDisplay_ = buffered;
    return bitmap;
}

void TChart::CopyImageToClipboard()
{
    std::unique_ptr<TBitmap> picture = RenderToBitmap(clWhite, TRect{0, 0, width_, height_});
    if (picture && clipboard_)
        clipboard_->SetPicture(*picture);
}

}  // namespace chart
