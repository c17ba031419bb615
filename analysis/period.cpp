#include "analysis/period.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace analysis {

namespace {

// Lag i is a peak when it rises above both neighbours and the mean level and
// the slopes over two lags on either side have opposite signs. The caller
// keeps i - 2 .. i + 2 inside the function.
bool IsPeak(const std::vector<double>& R, std::size_t i, double A)
{
    return (R[i] - R[i - 2]) * (R[i + 2] - R[i]) < 0.0 && R[i] > A && R[i] > R[i - 1] && R[i] > R[i + 1];
}

// First peak at or after lag `from`, or -1.
std::int32_t FindPeak(const std::vector<double>& R, std::size_t from, double A)
{
    for (std::size_t i = std::max<std::size_t>(from, 2); i + 2 < R.size(); ++i)
        if (IsPeak(R, i, A))
            return static_cast<std::int32_t>(i);
    return -1;
}

}  // namespace

std::vector<double> Autocorrelation(const MeasurementRecord& record)
{
    const int count = std::clamp<std::int32_t>(record.SampleCount, 0, kSampleCapacity);
    const std::size_t H = static_cast<std::size_t>(count / 2);
    std::vector<double> R(H, 0.0);
    for (std::size_t k = 0; k < H; ++k) {
        double sum = 0.0;
        for (std::size_t j = 0; j < H; ++j) {
            // 65535^2 does not fit a signed 32-bit product; 64 bits hold it exactly.
            sum += static_cast<double>(static_cast<std::int64_t>(record.Samples[j]) * record.Samples[j + k]);
        }
        R[k] = sum;
    }
    return R;
}

void SmoothAutocorrelation(std::vector<double>& R, int w)
{
    if (w <= 0)
        return;
    const auto width = static_cast<std::size_t>(w);
    if (width >= R.size()) {
        R.clear();
        return;
    }
    const std::size_t L = R.size() - width;
    for (std::size_t b = 0; b < L; ++b) {
        double sum = 0.0;
        for (std::size_t a = 0; a <= width; ++a)
            sum += R[b + a];
        R[b] = sum / w;  // w + 1 terms over w: the normalisation to lag 1 removes the factor
    }
    R.resize(L);
}

PeriodResult PeriodSearch(const MeasurementRecord& record, int smoothWidth, bool showPeriod, const NumberFormat& nf)
{
    PeriodResult result;
    result.title = {kCorrelationTitle};

    std::vector<double> R = Autocorrelation(record);
    if (R.size() < 2)
        return result;  // fewer than 4 samples: no lag 1

    // Smoothing works in place up to lag L - 1, so beyond it (a single lag
    // left) R[1] is still the unsmoothed value.
    const double rawLag1 = R[1];
    SmoothAutocorrelation(R, smoothWidth);
    const double norm = R.size() >= 2 ? R[1] : rawLag1;
    if (norm == 0.0)
        return result;  // nothing to normalise to, as for a record of zeros
    if (R.empty()) {
        // Smoothing at least as wide as the function leaves no lag: the same
        // advice as for a record without a period.
        result.title.clear();
        result.showMessage = true;
        return result;
    }

    double sum = 0.0;
    for (double v : R)
        sum += v;
    const double A = sum / static_cast<double>(R.size());

    result.curve.reserve(R.size());
    for (std::size_t i = 0; i < R.size(); ++i)
        result.curve.push_back({static_cast<double>(i), R[i] / norm});

    result.title.clear();
    result.P1 = FindPeak(R, 2, A);
    if (result.P1 >= 0)
        result.P2 = FindPeak(R, static_cast<std::size_t>(result.P1) + 2, A);
    if (result.P1 < 0 || result.P2 < 0) {
        result.showMessage = true;
        return result;
    }

    const std::int32_t p = std::abs(result.P2 - result.P1);
    const double F = 1000.0 / p / record.TimeMultiplier / static_cast<double>(record.SampleInterval);
    if (!std::isfinite(F)) {
        // A time factor of 0: no frequency, and no marker for a period we cannot state.
        result.showMessage = true;
        return result;
    }
    result.frequency = F;
    if (showPeriod) {
        result.marker.push_back({static_cast<double>(result.P1), A / norm});
        result.marker.push_back({static_cast<double>(result.P2), A / norm});
    }
    result.title.push_back("Число точек на период:" + std::to_string(p) + ";  F=" + FormatFixed(F, 0, nf) + "Гц");
    return result;
}

}  // namespace analysis
