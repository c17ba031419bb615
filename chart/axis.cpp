// The axis object: its construction, its title, and the series it serves.
// Its range and mapping are in axis_range.cpp, its labels in axis_labels.cpp,
// its drawing in axis_draw.cpp.

#include "chart/axis.h"

#include "chart/chart.h"
#include "chart/series.h"

namespace chart {

namespace {

int DefaultTitleAngle(TAxisKind kind)
{
    switch (kind) {
    case TAxisKind::Left:
        return 90;
    case TAxisKind::Right:
        return 270;
    default:
        return 0;
    }
}

}  // namespace

void TChartAxisTitle::SetCaption(const std::string& caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    Notify();
}

void TChartAxisTitle::SetAngle(int angle)
{
    if (angle_ == angle)
        return;
    angle_ = angle;
    Notify();
}

void TChartAxisTitle::SetOnChange(std::function<void()> f)
{
    onChange_ = f;
    font_.SetOnChange(std::move(f));
}

TCustomChartAxis::TCustomChartAxis(TChart& chart, TAxisKind kind)
    : chart_(chart), kind_(kind), title_(DefaultTitleAngle(kind))
{
    auto repaint = [this] { Changed(); };
    title_.SetOnChange(repaint);
    labelsFont_.SetOnChange(repaint);
    for (TChartPen* pen : {&ticks_, &minorTicks_, &ticksInner_, &grid_, &minorGrid_, &axisPen_})
        pen->SetOnChange(repaint);
}

void TCustomChartAxis::Changed()
{
    chart_.Invalidate();
}

bool TCustomChartAxis::IsUsed() const
{
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        const TChartSeries& s = chart_.Series(i);
        if (s.Active() && s.AssociatedToAxis(*this))
            return true;
    }
    return false;
}

bool TCustomChartAxis::IsShown() const
{
    return Visible_ && kind_ != TAxisKind::Depth && chart_.AxisVisible() && IsUsed();
}

bool TCustomChartAxis::IsDateTime() const
{
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        const TChartSeries& s = chart_.Series(i);
        if (s.AssociatedToAxis(*this) && (Horizontal() ? s.XValues() : s.YValues()).DateTime())
            return true;
    }
    return false;
}

}  // namespace chart
