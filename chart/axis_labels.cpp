// Labels of an axis: their texts and pictures, the request for their layout
// (tick_layout.cpp lays them out), and the room the axis takes beside the plot.

#include "chart/axis.h"

#include "chart/axis_detail.h"
#include "chart/chart.h"
#include "chart/number_picture.h"
#include "chart/series.h"

#include <algorithm>
#include <cmath>

namespace chart {

using detail::IsUpright;
using detail::RoundHalfEven;
using detail::SplitLines;

namespace {

// Decimals a label step needs to tell its labels apart: the fewest with which
// the step is a whole number of the last place (15 at most).
int StepDecimals(double step)
{
    for (int d = 0; d < 15; ++d) {
        double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::nearbyint(scaled)) <= 1e-6 * scaled)
            return d;
    }
    return 15;
}

// The picture with optional decimals added after its last digit place, so
// that it shows `decimals` of them. Pictures with sections or quoted text are
// left as they are.
std::string WidenedPicture(const std::string& picture, int decimals)
{
    int have = PictureDecimals(picture);
    if (decimals <= have || picture.find_first_of(";\"'") != std::string::npos)
        return picture;
    std::size_t last = picture.find_last_of("0#");
    if (last == std::string::npos)
        return picture;
    std::string extra(static_cast<std::size_t>(decimals - have), '#');
    if (picture.find('.') == std::string::npos)
        extra.insert(0, 1, '.');
    std::string widened = picture;
    widened.insert(last + 1, extra);
    return widened;
}

}  // namespace

std::string TCustomChartAxis::LabelValue(double value, bool askOwner) const
{
    return LabelValue(value, AxisValuesFormat_, askOwner);
}

std::string TCustomChartAxis::ValuePicture(double step) const
{
    // A step finer than the picture shows would give neighbouring labels the
    // same text ("1 1 1 0.999"): then, and only then, show the decimals the
    // step needs.
    return WidenedPicture(AxisValuesFormat_, StepDecimals(step));
}

std::string TCustomChartAxis::LabelValue(double value, const std::string& picture, bool askOwner) const
{
    std::string text = IsDateTime() && value < 0 ? std::string() : FormatNumberPicture(value, picture);
    if (askOwner && chart_.OnGetAxisLabel)
        chart_.OnGetAxisLabel(const_cast<TCustomChartAxis&>(*this), nullptr, -1, text);
    if (LabelsMultiLine_)
        std::replace(text.begin(), text.end(), ' ', '\n');
    return text;
}

TAxisLabelStyle TCustomChartAxis::LabelStyleInUse() const
{
    if (LabelStyle_ != TAxisLabelStyle::talAuto)
        return LabelStyle_;
    bool anyActive = false;
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        const TChartSeries& s = chart_.Series(i);
        if (!s.Active() || !s.AssociatedToAxis(*this))
            continue;
        anyActive = true;
        if (Horizontal() && s.LabelCount() > 0 && !s.PointLabel(0).empty())
            return TAxisLabelStyle::talText;
    }
    return anyActive ? TAxisLabelStyle::talValue : TAxisLabelStyle::talNone;
}

int TCustomChartAxis::LinesOf(const std::string& text) const
{
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

int TCustomChartAxis::WidestLine(TCanvas& canvas, const std::string& text) const
{
    int widest = 0;
    for (const std::string& line : SplitLines(text))
        widest = std::max(widest, canvas.TextWidth(line));
    return widest;
}

int TCustomChartAxis::LabelSize(TCanvas& canvas, const std::string& text) const
{
    bool upright = IsUpright(LabelsAngle_);
    if (Horizontal() ? !upright : upright)
        return canvas.FontHeight() * LinesOf(text);
    return WidestLine(canvas, text);
}

bool TCustomChartAxis::LabelSpaceAlongAxis() const
{
    return Horizontal() ? IsUpright(LabelsAngle_) : !IsUpright(LabelsAngle_);
}

int TCustomChartAxis::LengthIn(const TRect& rect) const
{
    long long extent = Horizontal() ? rect.Width() : rect.Height();
    long long length = RoundHalfEven(extent * EndPosition_ / 100.0) - RoundHalfEven(extent * StartPosition_ / 100.0);
    return static_cast<int>(std::clamp<long long>(length, 0, 2147483647LL));
}

int TCustomChartAxis::DrawnLabelsWidth(TCanvas& canvas, const TRect& rect) const
{
    // The labels as they will be with the axis ends this rectangle gives. All
    // of them are measured: a label with more digits than the rounded ends
    // (0.999 between 1 and 0.99) is wider than both.
    const TTickLayout ticks = TickLayout(canvas, LengthIn(rect));
    int widest = 0;
    if (IsLogarithmic()) {
        for (double q : ticks.Values)
            widest = std::max(widest, WidestLine(canvas, LogLabelText(q, false)));
        return widest;
    }
    const std::string picture = ValuePicture(ticks.Step);
    for (double q : ticks.Values)
        widest = std::max(widest, WidestLine(canvas, LabelValue(q, picture, false)));
    return widest;
}

std::string TCustomChartAxis::LogLabelText(double value, bool askOwner) const
{
    // As many decimals as the value needs (0.02 is not "0").
    return LabelValue(value, WidenedPicture(AxisValuesFormat_, StepDecimals(value)), askOwner);
}

TTickLayout TCustomChartAxis::TickLayout(TCanvas& canvas, int lengthPixels) const
{
    canvas.SetFont(labelsFont_.Spec());
    TTickRequest request;
    request.Minimum = iMinimum_;
    request.Maximum = iMaximum_;
    request.LengthPixels = lengthPixels;
    request.Increment = Increment_;
    request.LabelsSeparation = LabelsSeparation_;
    request.RoundFirstLabel = RoundFirstLabel_;
    request.Logarithmic = IsLogarithmic();
    request.LogarithmicBase = LogarithmicBase_;
    // A linear axis spaces its labels for its ends as the picture shows them
    // (the step is not known yet); a logarithmic one measures each label.
    if (request.Logarithmic)
        request.LabelSize = [&](double value) { return LabelSize(canvas, LogLabelText(value, false)); };
    else
        request.LabelSize = [&](double value) { return LabelSize(canvas, LabelValue(value)); };
    return LayoutTicks(request);
}

void TCustomChartAxis::CalcRoom(TCanvas& canvas, TRect& rect)
{
    int* side = nullptr;
    int direction = 1;  // +1 when moving inward increases the coordinate
    switch (kind_) {
    case TAxisKind::Bottom:
        side = &rect.Bottom;
        direction = -1;
        break;
    case TAxisKind::Top:
        side = &rect.Top;
        break;
    case TAxisKind::Left:
        side = &rect.Left;
        break;
    case TAxisKind::Right:
        side = &rect.Right;
        direction = -1;
        break;
    case TAxisKind::Depth:
        return;
    }
    int edge = *side;
    if (!title_.Caption().empty()) {
        canvas.SetFont(title_.Font().Spec());
        bool along = Horizontal() ? IsUpright(title_.Angle()) : !IsUpright(title_.Angle());
        int size = TitleSize_ > 0 ? TitleSize_ : (along ? canvas.FontHeight() : canvas.TextWidth(title_.Caption()));
        edge += direction * size;
        posTitle_ = edge;
    }
    TAxisLabelStyle style = LabelStyleInUse();
    if (Labels_ && style != TAxisLabelStyle::talNone) {
        canvas.SetFont(labelsFont_.Spec());
        int size = LabelsSize_;
        if (size <= 0) {
            if (LabelSpaceAlongAxis()) {
                int lines = 1;
                if (LabelsMultiLine_)
                    lines = std::max(LinesOf(LabelValue(iMaximum_, false)), LinesOf(LabelValue(iMinimum_, false)));
                size = canvas.FontHeight() * lines;
            } else {
                int widest = 0;
                if (style == TAxisLabelStyle::talText) {
                    for (int i = 0; i < chart_.SeriesCount(); ++i) {
                        const TChartSeries& s = chart_.Series(i);
                        if (!s.Active() || !s.AssociatedToAxis(*this))
                            continue;
                        for (int k = 0; k < s.LabelCount(); ++k)
                            widest = std::max(widest, WidestLine(canvas, s.PointLabel(k)));
                    }
                } else {
                    if (!IsLogarithmic())
                        widest = std::max(WidestLine(canvas, LabelValue(iMaximum_, false)),
                                          WidestLine(canvas, LabelValue(iMinimum_, false)));
                    widest = std::max(widest, DrawnLabelsWidth(canvas, rect));
                }
                size = widest + canvas.TextWidth(" ");
            }
        }
        edge += direction * size;
        posLabels_ = edge;
    }
    int room = (axisPen_.Visible() ? axisPen_.Width() : 0) + (ticks_.Visible() ? TickLength_ : 0);
    if (minorTicks_.Visible())
        room = std::max(room, MinorTickLength_);
    edge += direction * room;
    *side = edge;
}

}  // namespace chart
