// Drawing of an axis: its line, ticks, grid lines, labels and title.

#include "chart/axis.h"

#include "chart/axis_detail.h"
#include "chart/chart.h"
#include "chart/series.h"

#include <algorithm>
#include <cmath>

namespace chart {

using detail::IsUpright;
using detail::RoundHalfEven;
using detail::SplitLines;

void TCustomChartAxis::AddTick(int p)
{
    ticksList_.push_back(p);
}

void TCustomChartAxis::DrawLabel(TCanvas& canvas, int p, const std::string& text)
{
    AddTick(p);
    std::vector<std::string> lines = SplitLines(text);
    int fh = canvas.FontHeight();
    int n = static_cast<int>(lines.size());
    if (!IsUpright(LabelsAngle_)) {
        // Turned labels read along their own direction, centred on the pixel.
        int w = WidestLine(canvas, text);
        if (Horizontal())
            canvas.RotatedTextOut(p - fh / 2, kind_ == TAxisKind::Bottom ? posLabels_ + w : posLabels_, text,
                                  LabelsAngle_);
        else
            canvas.RotatedTextOut(kind_ == TAxisKind::Left ? posLabels_ - fh : posLabels_, p + w / 2, text,
                                  LabelsAngle_);
        return;
    }
    for (int k = 0; k < n; ++k) {
        const std::string& line = lines[static_cast<std::size_t>(k)];
        switch (kind_) {
        case TAxisKind::Bottom:
            canvas.TextOut(p, posLabels_ + k * fh, line, THorizAlign::Center, TVertAlign::Top);
            break;
        case TAxisKind::Top:
            canvas.TextOut(p, posLabels_ - (n - 1 - k) * fh, line, THorizAlign::Center, TVertAlign::Bottom);
            break;
        case TAxisKind::Left:
            canvas.TextOut(posLabels_, p - n * fh / 2 + k * fh, line, THorizAlign::Right, TVertAlign::Top);
            break;
        case TAxisKind::Right:
            canvas.TextOut(posLabels_, p - n * fh / 2 + k * fh, line, THorizAlign::Left, TVertAlign::Top);
            break;
        case TAxisKind::Depth:
            break;
        }
    }
}

void TCustomChartAxis::DrawValueLabels(TCanvas& canvas, const TTickLayout& ticks)
{
    const double step = ticks.Step;
    if (!(step > 0) || !(iMaximum_ >= iMinimum_))
        return;
    if (iMinimum_ == iMaximum_) {
        DrawLabel(canvas, centerPixel_, LabelValue(iMaximum_));
        return;
    }
    const std::string picture = ValuePicture(step);
    for (double q : ticks.Values) {
        int p = ValueToPixel(q);
        if (LabelsOnAxis_ || (startPixel_ < p && p < endPixel_))
            DrawLabel(canvas, p, LabelValue(q, picture));
    }
}

void TCustomChartAxis::DrawLogLabels(TCanvas& canvas, const std::vector<double>& values)
{
    for (double q : values) {
        int p = ValueToPixel(q);
        if (LabelsOnAxis_ || (startPixel_ < p && p < endPixel_))
            DrawLabel(canvas, p, LogLabelText(q, true));
    }
}

void TCustomChartAxis::DrawTextLabels(TCanvas& canvas)
{
    std::vector<TChartSeries*> sources;
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        TChartSeries& s = chart_.Series(i);
        if (s.Active() && s.AssociatedToAxis(*this) && s.LabelCount() > 0)
            sources.push_back(&s);
    }
    int first = -1;
    int last = -1;
    for (TChartSeries* s : sources) {
        s->ComputeShownRange();
        if (s->FirstShownIndex() != -1 && (first == -1 || s->FirstShownIndex() < first))
            first = s->FirstShownIndex();
        last = std::max(last, s->LastShownIndex());
    }
    if (first == -1)
        return;
    int fh = canvas.FontHeight();
    // Drawn labels keep at least a blank apart: the widened halves alone
    // leave none between one-digit labels ("01245689").
    const int blank = canvas.TextWidth(" ");
    bool haveLast = false;
    int lastP = 0;
    int lastHalf = 0;
    int lastSize = 0;
    for (int i = first; i <= last; ++i) {
        TChartSeries* src = nullptr;
        for (TChartSeries* s : sources)
            if (s->LabelCount() > i && s->PointCount() > i) {
                src = s;
                break;
            }
        if (!src)
            continue;
        std::string text = src->PointLabel(i);
        if (chart_.OnGetAxisLabel)
            chart_.OnGetAxisLabel(*this, src, i, text);
        if (LabelsMultiLine_)
            std::replace(text.begin(), text.end(), ' ', '\n');
        double value = Horizontal() ? src->XValue(i) : src->YValue(i);
        if (value < iMinimum_ || value > iMaximum_)
            continue;
        int p = ValueToPixel(value);
        int s = Horizontal() && IsUpright(LabelsAngle_) ? WidestLine(canvas, text) : fh * LinesOf(text);
        if (!haveLast) {
            DrawLabel(canvas, p, text);
            haveLast = true;
            lastP = p;
            lastHalf = s / 2;
            lastSize = s;
            continue;
        }
        if (LabelsSeparation_ == 0) {
            DrawLabel(canvas, p, text);
            continue;
        }
        int h = (s + static_cast<int>(std::trunc(s * 0.02 * LabelsSeparation_))) / 2;
        bool clear = p < lastP ? lastP - lastHalf >= p + h : p - h >= lastP + lastHalf;
        // The boxes as drawn, centred on their pixels.
        int gap =
            p < lastP ? (lastP - lastSize / 2) - (p - s / 2 + s) : (p - s / 2) - (lastP - lastSize / 2 + lastSize);
        if (clear && gap >= blank) {
            DrawLabel(canvas, p, text);
            lastP = p;
            lastHalf = h;
            lastSize = s;
        } else if (!TickOnLabelsOnly_) {
            AddTick(p);
        }
    }
}

void TCustomChartAxis::DrawTickLine(TCanvas& canvas, int p, int from, int to)
{
    if (Horizontal())
        canvas.VertLine(p, from, to);
    else
        canvas.HorizLine(from, to, p);
}

void TCustomChartAxis::DrawGridLine(TCanvas& canvas, int p)
{
    TRect plot = chart_.PlotRect();
    if (Horizontal())
        canvas.VertLine(p, plot.Top, plot.Bottom);
    else
        canvas.HorizLine(plot.Left, plot.Right, p);
}

void TCustomChartAxis::DrawMinor(TCanvas& canvas, const TChartPen& pen, bool grid)
{
    if (ticksList_.size() < 2 && !IsLogarithmic())
        return;
    if (MinorTickCount_ < 1)
        return;
    std::vector<int> ticks = ticksList_;
    std::sort(ticks.begin(), ticks.end());
    canvas.SetPen(pen.Spec(clGray));
    int outward = kind_ == TAxisKind::Bottom || kind_ == TAxisKind::Right ? 1 : -1;
    int axisWidth = axisPen_.Visible() ? axisPen_.Width() : 0;
    auto draw = [&](int p) {
        if (p <= startPixel_ || p >= endPixel_)
            return;
        if (grid)
            DrawGridLine(canvas, p);
        else
            DrawTickLine(canvas, p, posAxis_, posAxis_ + outward * (axisWidth + MinorTickLength_));
    };
    if (IsLogarithmic()) {
        // Every whole multiple of each power of the base that has no label.
        const double base = LogarithmicBase_;
        const double first = std::floor(LogOf(iMinimum_) + 1e-9);
        const double last = std::ceil(LogOf(iMaximum_) - 1e-9);
        // Not more minor ticks than a few thousand, whatever the base.
        if (!(last - first <= 1000) || (last - first + 1) * (base - 1) > 10000)
            return;
        const int decades = static_cast<int>(last - first);
        for (int d = 0; d <= decades; ++d)
            for (int m = 1; m < LogarithmicBase_; ++m) {
                const double v = m * std::pow(base, first + d);
                if (v < iMinimum_ || v > iMaximum_)
                    continue;
                const int p = ValueToPixel(v);
                if (!std::binary_search(ticks.begin(), ticks.end(), p))
                    draw(p);
            }
        return;
    }
    int count = MinorTickCount_;
    for (std::size_t t = 0; t + 1 < ticks.size(); ++t) {
        int gap = ticks[t + 1] - ticks[t];
        for (int j = 1; j <= count; ++j)
            draw(ticks[t] + static_cast<int>(RoundHalfEven(static_cast<double>(j) * gap / (count + 1))));
    }
    // Beyond the outermost ticks, at the spacing of their neighbours.
    int firstGap = ticks[1] - ticks[0];
    int lastGap = ticks.back() - ticks[ticks.size() - 2];
    for (int j = 1; j <= count; ++j) {
        draw(ticks.front() - static_cast<int>(RoundHalfEven(static_cast<double>(j) * firstGap / (count + 1))));
        draw(ticks.back() + static_cast<int>(RoundHalfEven(static_cast<double>(j) * lastGap / (count + 1))));
    }
}

void TCustomChartAxis::DrawTitle(TCanvas& canvas)
{
    const std::string& caption = title_.Caption();
    canvas.SetFont(title_.Font().Spec());
    canvas.SetTextBackground(true, chart_.Color());
    int angle = title_.Angle();
    int fh = canvas.FontHeight();
    int w = canvas.TextWidth(caption);
    switch (kind_) {
    case TAxisKind::Bottom:
        if (IsUpright(angle))
            canvas.TextOut(centerPixel_, posTitle_, caption, THorizAlign::Center, TVertAlign::Top);
        else
            canvas.RotatedTextOut(centerPixel_ - fh / 2, posTitle_ + w, caption, angle);
        break;
    case TAxisKind::Top:
        if (IsUpright(angle))
            canvas.TextOut(centerPixel_, posTitle_, caption, THorizAlign::Center, TVertAlign::Bottom);
        else
            canvas.RotatedTextOut(centerPixel_ - fh / 2, posTitle_, caption, angle);
        break;
    case TAxisKind::Left:
        if (angle == 270)
            canvas.RotatedTextOut(posTitle_, centerPixel_ - w / 2, caption, angle);
        else if (!IsUpright(angle))
            canvas.RotatedTextOut(posTitle_ - fh, centerPixel_ + w / 2, caption, angle);
        else
            canvas.TextOut(posTitle_, centerPixel_ - fh / 2, caption, THorizAlign::Right, TVertAlign::Top);
        break;
    case TAxisKind::Right:
        if (angle == 90)
            canvas.RotatedTextOut(posTitle_, centerPixel_ + w / 2, caption, angle);
        else if (!IsUpright(angle))
            canvas.RotatedTextOut(posTitle_ + fh, centerPixel_ - w / 2, caption, angle);
        else
            canvas.TextOut(posTitle_, centerPixel_ - fh / 2, caption, THorizAlign::Left, TVertAlign::Top);
        break;
    case TAxisKind::Depth:
        break;
    }
}

void TCustomChartAxis::Draw(TCanvas& canvas)
{
    ticksList_.clear();
    ticksList_.reserve(2000);
    const TTickLayout ticks = TickLayout(canvas, lengthPixels_);
    if (!title_.Caption().empty())
        DrawTitle(canvas);
    if (Labels_) {
        canvas.SetFont(labelsFont_.Spec());
        canvas.SetTextBackground(true, chart_.Color());
        canvas.SetBrush(chart_.Color(), TBrushStyle::bsClear);
        switch (LabelStyleInUse()) {
        case TAxisLabelStyle::talValue:
            if (IsLogarithmic())
                DrawLogLabels(canvas, ticks.Values);
            else
                DrawValueLabels(canvas, ticks);
            break;
        case TAxisLabelStyle::talText:
            DrawTextLabels(canvas);
            break;
        default:
            break;
        }
    }
    int outward = kind_ == TAxisKind::Bottom || kind_ == TAxisKind::Right ? 1 : -1;
    int axisWidth = axisPen_.Visible() ? axisPen_.Width() : 0;
    if (axisPen_.Visible()) {
        canvas.SetPen(axisPen_.Spec());
        if (Horizontal())
            canvas.HorizLine(startPixel_, endPixel_, posAxis_);
        else
            canvas.VertLine(posAxis_, startPixel_, endPixel_);
    }
    if (ticks_.Visible() && TickLength_ > 0) {
        canvas.SetPen(ticks_.Spec(clGray));
        for (int p : ticksList_)
            DrawTickLine(canvas, p, posAxis_, posAxis_ + outward * (axisWidth + TickLength_));
    }
    if (grid_.Visible()) {
        canvas.SetPen(grid_.Spec(clGray));
        // Dotted grid lines leave the background between the dots alone.
        canvas.SetTextBackground(true, chart_.Color());
        canvas.SetBrush(chart_.Color(), TBrushStyle::bsClear);
        if (GridCentered_) {
            std::vector<int> ticks = ticksList_;
            std::sort(ticks.begin(), ticks.end());
            for (std::size_t t = 0; t + 1 < ticks.size(); ++t)
                DrawGridLine(canvas, (ticks[t] + ticks[t + 1]) / 2);
        } else {
            for (int p : ticksList_)
                DrawGridLine(canvas, p);
        }
    }
    if (ticksInner_.Visible() && TickInnerLength_ > 0) {
        canvas.SetPen(ticksInner_.Spec(clGray));
        for (int p : ticksList_)
            DrawTickLine(canvas, p, posAxis_, posAxis_ - outward * TickInnerLength_);
    }
    if (minorTicks_.Visible() && MinorTickLength_ > 0)
        DrawMinor(canvas, minorTicks_, false);
    if (minorGrid_.Visible())
        DrawMinor(canvas, minorGrid_, true);
}

}  // namespace chart
