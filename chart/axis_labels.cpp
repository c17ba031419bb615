// Labels of an axis: the label step, the values labelled (linear and
// logarithmic) and their texts, and the room the axis takes beside the plot.

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

// No axis is labelled with more steps than these.
constexpr int kMostLabelSteps = 10000;

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

std::vector<double> TCustomChartAxis::LabelValues(double step) const
{
    std::vector<double> values;
    if (!(step > 0) || !(iMaximum_ > iMinimum_) || !(std::fabs(iRange_ / step) < kMostLabelSteps))
        return values;
    // The labels are counted by a whole index down from the first, never by
    // repeated subtraction: far from zero a step may lie below the resolution
    // of the values, where subtracting it changes nothing.
    double first = 0;  // the first label's index, in steps from zero
    bool fromZero = RoundFirstLabel_ && std::fabs(iMaximum_ / step) < 9.0e15;
    if (fromZero) {
        first = std::floor(iMaximum_ / step);
        if (first * step > iMaximum_)
            first -= 1;
        fromZero = first * step <= iMaximum_;
    }
    // A hair below the minimum, so that a label on it survives rounding; the
    // tolerance widens downward for negative minimums too.
    double lower = iMinimum_ >= 0 ? (iMinimum_ - 1e-12) / 1.000000000001 : (iMinimum_ - 1e-12) * 1.000000000001;
    for (int k = 0; k <= kMostLabelSteps + 1; ++k) {
        double q = fromZero ? (first - k) * step : iMaximum_ - k * step;
        if (!(q >= lower))
            break;
        if (!values.empty() && q == values.back())  // the step is below the resolution of the values
            break;
        values.push_back(q);
    }
    return values;
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

double TCustomChartAxis::NextLabelStep(double step)
{
    // Zero, negative and non-finite steps have no successor; the callers stop on them.
    if (!(step > 0) || !std::isfinite(step))
        return step;
    if (step >= 10)
        return 10 * NextLabelStep(step * 0.1);
    if (step < 1)
        return 0.1 * NextLabelStep(step * 10);
    if (step < 2)
        return 2;
    if (step < 5)
        return 5;
    return 10;
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
    const int length = LengthIn(rect);
    int widest = 0;
    if (IsLogarithmic()) {
        for (double q : LogLabelValues(canvas, length))
            widest = std::max(widest, WidestLine(canvas, LogLabelText(q, false)));
        return widest;
    }
    const double step = LabelStepFor(canvas, length);
    const std::string picture = ValuePicture(step);
    for (double q : LabelValues(step))
        widest = std::max(widest, WidestLine(canvas, LabelValue(q, picture, false)));
    return widest;
}

std::string TCustomChartAxis::LogLabelText(double value, bool askOwner) const
{
    // As many decimals as the value needs (0.02 is not "0").
    return LabelValue(value, WidenedPicture(AxisValuesFormat_, StepDecimals(value)), askOwner);
}

std::vector<double> TCustomChartAxis::LogLabelValues(TCanvas& canvas, int lengthPixels) const
{
    std::vector<double> none;
    if (!(iMaximum_ > iMinimum_) || !(iMinimum_ > 0) || lengthPixels < 1)
        return none;
    const double base = LogarithmicBase_;
    const double lo = LogOf(iMinimum_);
    const double hi = LogOf(iMaximum_);
    const double first = std::floor(lo + 1e-9);
    const double last = std::ceil(hi - 1e-9);
    if (!std::isfinite(first) || !std::isfinite(last) || last - first > kMostLabelSteps)
        return none;
    canvas.SetFont(labelsFont_.Spec());
    const double perLog = lengthPixels / (hi - lo);
    // Whether labels of these values (ascending) keep apart as drawn labels do.
    auto fits = [&](const std::vector<double>& values) {
        double lastP = 0;
        double lastHalf = 0;
        for (std::size_t k = 0; k < values.size(); ++k) {
            const std::string text = LogLabelText(values[k], false);
            const int size = LabelSize(canvas, text);
            const double half = (size + std::trunc(size * 0.02 * LabelsSeparation_)) / 2.0;
            const double p = (LogOf(values[k]) - lo) * perLog;
            if (k > 0 && p - lastP < lastHalf + half)
                return false;
            lastP = p;
            lastHalf = half;
        }
        return true;
    };
    // Powers of the base every `every` decades, with `multiples` of each between.
    auto candidates = [&](std::initializer_list<double> multiples, int every) {
        std::vector<double> values;
        const int decades = static_cast<int>(last - first);
        for (int d = 0; d <= decades; ++d) {
            const double e = first + d;
            if (std::fmod(e, every) != 0)
                continue;
            const double power = std::pow(base, e);
            for (double m : multiples) {
                const double v = m * power;
                if (m < base && v >= iMinimum_ * (1 - 1e-12) && v <= iMaximum_ * (1 + 1e-12))
                    values.push_back(v);
            }
        }
        return values;
    };
    std::vector<double> values = candidates({1, 2, 5}, 1);
    if (values.empty()) {
        // Zoomed in between two labelled values: label the ends, rounded
        // inward to the place of the range's first digit.
        const double place = std::pow(10.0, std::floor(std::log10(iMaximum_ - iMinimum_)));
        const double low = std::ceil(iMinimum_ / place - 1e-9) * place;
        const double high = std::floor(iMaximum_ / place + 1e-9) * place;
        if (!(low <= high) || !std::isfinite(high))
            return {iMaximum_};
        if (low < high && fits({low, high}))
            return {high, low};
        return {high};
    }
    if (!fits(values)) {
        values = candidates({1}, 1);
        for (int every = 2; !fits(values) && every <= kMostLabelSteps; ++every)
            values = candidates({1}, every);
    }
    std::reverse(values.begin(), values.end());
    return values;
}

double TCustomChartAxis::ComputeLabelStep(TCanvas& canvas)
{
    return LabelStepFor(canvas, lengthPixels_);
}

double TCustomChartAxis::LabelStepFor(TCanvas& canvas, int lengthPixels) const
{
    canvas.SetFont(labelsFont_.Spec());
    int s = std::max(LabelSize(canvas, LabelValue(iMaximum_)), LabelSize(canvas, LabelValue(iMinimum_)));
    long long m = 1;
    if (s > 0) {
        long long divisor = LabelsSeparation_ > 0 ? s + RoundHalfEven(LabelsSeparation_ * 0.01 * s) : s;
        m = RoundHalfEven(static_cast<double>(lengthPixels) / static_cast<double>(divisor));
    }
    if (m < 1)
        return 1e-12;
    double step = Increment_ > 0 ? Increment_ : (std::fabs(iRange_) >= 1 ? 1.0 : 1e-12);
    if (LabelsSeparation_ > 0) {
        long long n = m + 1;
        do {
            double q = iRange_ / step;
            // An infinite or undefined range has no step that fits; stop climbing.
            if (!std::isfinite(q))
                break;
            if (std::fabs(q) < 2147483647.0) {
                n = RoundHalfEven(q);
                if (n > m)
                    step = NextLabelStep(step);
            } else {
                step = NextLabelStep(step);
            }
        } while (n > m);
    }
    return std::max(step, 1e-12);
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
