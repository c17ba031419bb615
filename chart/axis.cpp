#include "chart/axis.h"

#include "chart/chart.h"
#include "chart/errors.h"
#include "chart/number_picture.h"
#include "chart/series.h"

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

// Rounding of the engine: to nearest, halves to even (the default FP mode).
// Undefined and huge inputs (a wild StartPosition, say) give 0 or the
// nearest 32-bit limit instead of an undefined conversion.
long long RoundHalfEven(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483648LL;
    return static_cast<long long>(std::nearbyint(v));
}

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

bool IsUpright(int angle)
{
    return angle == 0 || angle == 180;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos)
            return lines;
        start = nl + 1;
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

void TCustomChartAxis::AdjustMaxMin()
{
    double lo = 0, hi = 0;
    if (IsLogarithmic()) {
        // Whole decades (powers of the base) around the positive data.
        PositiveExtremes(lo, hi);
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
        DataExtremes(lo, hi);
    }
    if (automaticMaximum_)
        maximum_ = hi;
    if (automaticMinimum_)
        minimum_ = lo;
    UpdateRange();
}

void TCustomChartAxis::DataExtremes(double& lowest, double& highest) const
{
    bool anyActive = IsUsed();
    bool found = false;
    double lo = 0, hi = 0;
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        const TChartSeries& s = chart_.Series(i);
        if (!s.AssociatedToAxis(*this) || s.PointCount() == 0 || (anyActive && !s.Active()))
            continue;
        const TChartValueList& list = Horizontal() ? s.XValues() : s.YValues();
        double l = list.Lowest();
        double h = list.Highest();
        if (!found) {
            lo = l;
            hi = h;
            found = true;
        } else {
            lo = std::min(lo, l);
            hi = std::max(hi, h);
        }
    }
    lowest = lo;
    highest = hi;
}

void TCustomChartAxis::PositiveExtremes(double& lowest, double& highest) const
{
    bool anyActive = IsUsed();
    lowest = highest = 0;
    for (int i = 0; i < chart_.SeriesCount(); ++i) {
        const TChartSeries& s = chart_.Series(i);
        if (!s.AssociatedToAxis(*this) || (anyActive && !s.Active()))
            continue;
        const TChartValueList& list = Horizontal() ? s.XValues() : s.YValues();
        for (int k = 0; k < list.Count(); ++k) {
            const double v = list.ValueAt(k);
            if (!(v > 0) || !std::isfinite(v))
                continue;
            if (highest == 0 || v < lowest)
                lowest = v;
            highest = std::max(highest, v);
        }
    }
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
    if (!(step > 0) || !(iMaximum_ > iMinimum_) || !(std::fabs(iRange_ / step) < 10000))
        return values;
    double q = RoundFirstLabel_ ? std::trunc(iMaximum_ / step) * step : iMaximum_;
    while (q > iMaximum_)
        q -= step;
    // A hair below the minimum, so that a label on it survives rounding; the
    // tolerance widens downward for negative minimums too.
    double lower = iMinimum_ >= 0 ? (iMinimum_ - 1e-12) / 1.000000000001 : (iMinimum_ - 1e-12) * 1.000000000001;
    while (q >= lower) {
        values.push_back(q);
        double next = q - step;
        if (next == q)  // the step is below the resolution of the values
            break;
        q = next;
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
    if (!std::isfinite(first) || !std::isfinite(last) || last - first > 10000)
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
        for (double e = first; e <= last; ++e) {
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
    if (!fits(values)) {
        values = candidates({1}, 1);
        for (int every = 2; !fits(values) && every <= 10000; ++every)
            values = candidates({1}, every);
    }
    std::reverse(values.begin(), values.end());
    return values;
}

void TCustomChartAxis::DrawLogLabels(TCanvas& canvas)
{
    for (double q : LogLabelValues(canvas, lengthPixels_)) {
        int p = ValueToPixel(q);
        if (LabelsOnAxis_ || (startPixel_ < p && p < endPixel_))
            DrawLabel(canvas, p, LogLabelText(q, true));
    }
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

void TCustomChartAxis::DrawValueLabels(TCanvas& canvas, double step)
{
    if (!(step > 0) || !(iMaximum_ >= iMinimum_))
        return;
    if (iMinimum_ == iMaximum_) {
        DrawLabel(canvas, centerPixel_, LabelValue(iMaximum_));
        return;
    }
    const std::string picture = ValuePicture(step);
    for (double q : LabelValues(step)) {
        int p = ValueToPixel(q);
        if (LabelsOnAxis_ || (startPixel_ < p && p < endPixel_))
            DrawLabel(canvas, p, LabelValue(q, picture));
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
        int gap = p < lastP ? (lastP - lastSize / 2) - (p - s / 2 + s) : (p - s / 2) - (lastP - lastSize / 2 + lastSize);
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
        if (!(last - first <= 1000))
            return;
        for (double e = first; e <= last; ++e)
            for (int m = 1; m < LogarithmicBase_; ++m) {
                const double v = m * std::pow(base, e);
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
    canvas.SetFont(labelsFont_.Spec());
    double step = ComputeLabelStep(canvas);
    if (!title_.Caption().empty())
        DrawTitle(canvas);
    if (Labels_) {
        canvas.SetFont(labelsFont_.Spec());
        canvas.SetTextBackground(true, chart_.Color());
        canvas.SetBrush(chart_.Color(), TBrushStyle::bsClear);
        switch (LabelStyleInUse()) {
        case TAxisLabelStyle::talValue:
            if (IsLogarithmic())
                DrawLogLabels(canvas);
            else
                DrawValueLabels(canvas, step);
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
