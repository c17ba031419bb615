// Range and mapping of an axis: the set and the automatic ends, the ends a
// logarithmic axis uses, value to pixel and back, the ranges of panning and
// scrolling, and the pixel ends taken from the plotting rectangle.

#include "chart/axis.h"

#include "chart/axis_detail.h"
#include "chart/errors.h"

#include <algorithm>
#include <cmath>

namespace chart {

using detail::RoundHalfEven;

void TCustomChartAxis::SetAutomatic(bool v)
{
    automatic_ = automaticMinimum_ = automaticMaximum_ = v;
    Changed();
}

void TCustomChartAxis::SetAutomaticMinimum(bool v)
{
    automaticMinimum_ = v;
    if (!v)
        automatic_ = false;
    else if (automaticMaximum_)
        automatic_ = true;
    Changed();
}

void TCustomChartAxis::SetAutomaticMaximum(bool v)
{
    automaticMaximum_ = v;
    if (!v)
        automatic_ = false;
    else if (automaticMinimum_)
        automatic_ = true;
    Changed();
}

void TCustomChartAxis::SetMinimum(double v)
{
    if (v > maximum_)
        throw AxisException("Axis Minimum Value must be <= Maximum");
    if (minimum_ == v)
        return;
    minimum_ = v;
    UpdateRange();
    Changed();
}

void TCustomChartAxis::SetMaximum(double v)
{
    if (v < minimum_)
        throw AxisException("Axis Maximum Value must be >= Minimum");
    if (maximum_ == v)
        return;
    maximum_ = v;
    UpdateRange();
    Changed();
}

void TCustomChartAxis::SetRange(double minimum, double maximum)
{
    automatic_ = automaticMinimum_ = automaticMaximum_ = false;
    if (minimum > maximum)
        std::swap(minimum, maximum);
    if (maximum - minimum < 1e-10)
        maximum = minimum + 1e-10;
    minimum_ = minimum;
    maximum_ = maximum;
    UpdateRange();
    Changed();
}

void TCustomChartAxis::UpdateRange()
{
    // The fast line asks for no margins, so the effective range is the published one.
    iMinimum_ = minimum_;
    iMaximum_ = maximum_;
    if (IsLogarithmic()) {
        // Ends that have no logarithm: a decade below the other end, or 1 .. base.
        const double base = LogarithmicBase_;
        if (!(iMaximum_ > 0))
            iMaximum_ = iMinimum_ > 0 ? iMinimum_ * base : base;
        if (!(iMinimum_ > 0))
            iMinimum_ = iMaximum_ / base;
    }
    iRange_ = iMaximum_ - iMinimum_;
    UpdateMap();
}

double TCustomChartAxis::LogOf(double value) const
{
    return std::log10(value) / std::log10(static_cast<double>(LogarithmicBase_));
}

void TCustomChartAxis::UpdateMap()
{
    map_.Log = IsLogarithmic();
    if (map_.Log) {
        map_.LogScale = 1.0 / std::log10(static_cast<double>(LogarithmicBase_));
        map_.Minimum = LogOf(iMinimum_);
        map_.Range = LogOf(iMaximum_) - map_.Minimum;
        map_.Flat = !(map_.Range != 0 && std::isfinite(map_.Range));
    } else {
        map_.Minimum = iMinimum_;
        map_.Range = iRange_;
        map_.Flat = iRange_ == 0;
    }
    map_.Length = lengthPixels_;
    map_.Start = startPixel_;
    map_.End = endPixel_;
    map_.Centre = centerPixel_;
    // Screen y grows downward: a vertical axis counts from its end unless inverted.
    map_.FromEnd = Horizontal() ? Inverted_ : !Inverted_;
}

void TCustomChartAxis::AdjustMaxMin(const TAxisExtremes& extremes)
{
    double lo = 0, hi = 0;
    if (IsLogarithmic()) {
        // Whole decades (powers of the base) around the positive data.
        lo = extremes.LowestPositive;
        hi = extremes.HighestPositive;
        const double base = LogarithmicBase_;
        if (hi > 0) {
            lo = std::pow(base, std::floor(LogOf(lo) + 1e-9));
            hi = std::pow(base, std::ceil(LogOf(hi) - 1e-9));
        } else {
            lo = 1;
            hi = base;
        }
        if (!(hi > lo))
            hi = lo * base;
    } else {
        lo = extremes.Lowest;
        hi = extremes.Highest;
    }
    if (automaticMaximum_)
        maximum_ = hi;
    if (automaticMinimum_)
        minimum_ = lo;
    UpdateRange();
}

double TCustomChartAxis::PixelToValue(int pixel) const
{
    if (lengthPixels_ < 1)
        return 0;
    const double range = map_.Log ? map_.Range : iRange_;
    double a = Inverted_ ? static_cast<double>(endPixel_ - static_cast<double>(pixel)) * range / lengthPixels_
                         : (static_cast<double>(pixel) - startPixel_) * range / lengthPixels_;
    if (map_.Log) {
        const double base = LogarithmicBase_;
        return Horizontal() ? std::pow(base, map_.Minimum + a) : std::pow(base, map_.Minimum + map_.Range - a);
    }
    return Horizontal() ? iMinimum_ + a : iMaximum_ - a;
}

void TCustomChartAxis::PannedRange(int from, int to, double& minimum, double& maximum) const
{
    if (map_.Log) {
        const double ratio = PixelToValue(from) / PixelToValue(to);
        minimum = iMinimum_ * ratio;
        maximum = iMaximum_ * ratio;
        return;
    }
    const double d = PixelToValue(from) - PixelToValue(to);
    minimum = minimum_ + d;
    maximum = maximum_ + d;
}

void TCustomChartAxis::ScrolledRange(double fraction, double& minimum, double& maximum) const
{
    if (map_.Log) {
        const double factor = std::pow(static_cast<double>(LogarithmicBase_), fraction * map_.Range);
        minimum = iMinimum_ * factor;
        maximum = iMaximum_ * factor;
        return;
    }
    const double delta = (maximum_ - minimum_) * fraction;
    minimum = minimum_ + delta;
    maximum = maximum_ + delta;
}

void TCustomChartAxis::SetPixelsFrom(const TRect& plot)
{
    auto clamp32 = [](long long v) {
        return static_cast<int>(std::clamp<long long>(v, -2147483647LL - 1, 2147483647LL));
    };
    long long origin = Horizontal() ? plot.Left : plot.Top;
    long long extent = Horizontal() ? plot.Width() : plot.Height();
    long long start = origin + RoundHalfEven(extent * StartPosition_ / 100.0);
    long long end = origin + RoundHalfEven(extent * EndPosition_ / 100.0);
    startPixel_ = clamp32(start);
    endPixel_ = clamp32(end);
    lengthPixels_ = clamp32(end - start);
    centerPixel_ = clamp32((start + end) / 2);
    UpdateMap();

    int across = Horizontal() ? plot.Height() : plot.Width();
    int shift = static_cast<int>(RoundHalfEven(across * PositionPercent_ / 100.0));
    switch (kind_) {
    case TAxisKind::Bottom:
        posAxis_ = plot.Bottom - shift;
        posLabels_ -= shift;
        posTitle_ -= shift;
        break;
    case TAxisKind::Top:
        posAxis_ = plot.Top + shift;
        posLabels_ += shift;
        posTitle_ += shift;
        break;
    case TAxisKind::Left:
        posAxis_ = plot.Left + shift;
        posLabels_ += shift;
        posTitle_ += shift;
        break;
    case TAxisKind::Right:
        posAxis_ = plot.Right - shift;
        posLabels_ -= shift;
        posTitle_ -= shift;
        break;
    case TAxisKind::Depth:
        break;
    }
}

}  // namespace chart
