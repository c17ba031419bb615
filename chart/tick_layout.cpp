// The label step and the values labelled, linear and logarithmic.

#include "chart/tick_layout.h"

#include "chart/axis_detail.h"

#include <algorithm>
#include <cmath>

namespace chart {

using detail::RoundHalfEven;

namespace {

// No axis is labelled with more steps than these.
constexpr int kMostLabelSteps = 10000;

int SizeOf(const TTickRequest& r, double value)
{
    return r.LabelSize ? r.LabelSize(value) : 0;
}

double LabelStep(const TTickRequest& r)
{
    const double range = r.Maximum - r.Minimum;
    int s = std::max(SizeOf(r, r.Maximum), SizeOf(r, r.Minimum));
    long long m = 1;
    if (s > 0) {
        long long divisor = r.LabelsSeparation > 0 ? s + RoundHalfEven(r.LabelsSeparation * 0.01 * s) : s;
        m = RoundHalfEven(static_cast<double>(r.LengthPixels) / static_cast<double>(divisor));
    }
    if (m < 1)
        return 1e-12;
    double step = r.Increment > 0 ? r.Increment : (std::fabs(range) >= 1 ? 1.0 : 1e-12);
    if (r.LabelsSeparation > 0) {
        long long n = m + 1;
        do {
            double q = range / step;
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

std::vector<double> LinearValues(const TTickRequest& r, double step)
{
    std::vector<double> values;
    const double range = r.Maximum - r.Minimum;
    if (!(step > 0) || !(r.Maximum > r.Minimum) || !(std::fabs(range / step) < kMostLabelSteps))
        return values;
    // The labels are counted by a whole index down from the first, never by
    // repeated subtraction: far from zero a step may lie below the resolution
    // of the values, where subtracting it changes nothing.
    double first = 0;  // the first label's index, in steps from zero
    bool fromZero = r.RoundFirstLabel && std::fabs(r.Maximum / step) < 9.0e15;
    if (fromZero) {
        first = std::floor(r.Maximum / step);
        if (first * step > r.Maximum)
            first -= 1;
        fromZero = first * step <= r.Maximum;
    }
    // A hair below the minimum, so that a label on it survives rounding; the
    // tolerance widens downward for negative minimums too.
    double lower = r.Minimum >= 0 ? (r.Minimum - 1e-12) / 1.000000000001 : (r.Minimum - 1e-12) * 1.000000000001;
    for (int k = 0; k <= kMostLabelSteps + 1; ++k) {
        double q = fromZero ? (first - k) * step : r.Maximum - k * step;
        if (!(q >= lower))
            break;
        if (!values.empty() && q == values.back())  // the step is below the resolution of the values
            break;
        values.push_back(q);
    }
    return values;
}

std::vector<double> LogValues(const TTickRequest& r)
{
    std::vector<double> none;
    const double minimum = r.Minimum;
    const double maximum = r.Maximum;
    if (!(maximum > minimum) || !(minimum > 0) || r.LengthPixels < 1)
        return none;
    const double base = r.LogarithmicBase;
    auto logOf = [&](double value) { return std::log10(value) / std::log10(static_cast<double>(r.LogarithmicBase)); };
    const double lo = logOf(minimum);
    const double hi = logOf(maximum);
    const double first = std::floor(lo + 1e-9);
    const double last = std::ceil(hi - 1e-9);
    if (!std::isfinite(first) || !std::isfinite(last) || last - first > kMostLabelSteps)
        return none;
    const double perLog = r.LengthPixels / (hi - lo);
    // Whether labels of these values (ascending) keep apart as drawn labels do.
    auto fits = [&](const std::vector<double>& values) {
        double lastP = 0;
        double lastHalf = 0;
        for (std::size_t k = 0; k < values.size(); ++k) {
            const int size = SizeOf(r, values[k]);
            const double half = (size + std::trunc(size * 0.02 * r.LabelsSeparation)) / 2.0;
            const double p = (logOf(values[k]) - lo) * perLog;
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
                if (m < base && v >= minimum * (1 - 1e-12) && v <= maximum * (1 + 1e-12))
                    values.push_back(v);
            }
        }
        return values;
    };
    std::vector<double> values = candidates({1, 2, 5}, 1);
    if (values.empty()) {
        // Zoomed in between two labelled values: label the ends, rounded
        // inward to the place of the range's first digit.
        const double place = std::pow(10.0, std::floor(std::log10(maximum - minimum)));
        const double low = std::ceil(minimum / place - 1e-9) * place;
        const double high = std::floor(maximum / place + 1e-9) * place;
        if (!(low <= high) || !std::isfinite(high))
            return {maximum};
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

}  // namespace

double NextLabelStep(double step)
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

TTickLayout LayoutTicks(const TTickRequest& request)
{
    TTickLayout layout;
    if (request.Logarithmic) {
        layout.Values = LogValues(request);
        return layout;
    }
    layout.Step = LabelStep(request);
    layout.Values = LinearValues(request, layout.Step);
    return layout;
}

}  // namespace chart
