#include "analysis/flicker.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>
#include <vector>

#include "analysis/fourier.h"
#include "analysis/statistics.h"

namespace analysis {

namespace {

std::string Digits(std::int64_t value, int decimals, const NumberFormat& nf)
{
    const bool negative = value < 0;
    std::string digits = std::to_string(negative ? -value : value);
    if (decimals > 0) {
        if (static_cast<int>(digits.size()) <= decimals)
            digits.insert(0, static_cast<std::size_t>(decimals + 1) - digits.size(), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), nf.decimalSeparator);
    }
    return negative ? "-" + digits : digits;
}

}  // namespace

double SvmThreshold(double hz)
{
    return 1.0 / (1.0 + std::exp(-0.00518 * (hz - 306.6))) + 20.0 * std::exp(-hz / 10.0);
}

Ieee1789Class ClassifyIeee1789(std::optional<double> frequency, double pf)
{
    if (!frequency)
        return Ieee1789Class::NoEffect;
    const double f = *frequency;
    if (f > kIeee1789NoEffect.endHz || pf <= kIeee1789NoEffect.MaxPercent(f))
        return Ieee1789Class::NoEffect;
    if (f > kIeee1789LowRisk.endHz || pf <= kIeee1789LowRisk.MaxPercent(f))
        return Ieee1789Class::LowRisk;
    return Ieee1789Class::Risk;
}

const char* Ieee1789Text(Ieee1789Class c)
{
    switch (c) {
    case Ieee1789Class::NoEffect:
        return "нет эффекта";
    case Ieee1789Class::LowRisk:
        return "низкий риск";
    case Ieee1789Class::Risk:
        break;
    }
    return "риск";
}

namespace {

// The metrics with the spectrum they were taken from: the amplitudes of the
// whole-period run from the first sample (of the whole stretch when there is
// no frequency), bin k at k * binHz.
struct Analysis {
    FlickerMetrics metrics;
    std::vector<double> amplitudes;
    double mean = 0.0;
    double binHz = 0.0;
    int wholePeriods = 0;  // periods of F in the run; 0 without F
};

Analysis Analyse(const MeasurementRecord& record)
{
    Analysis a;
    FlickerMetrics& m = a.metrics;
    const int count = std::clamp<std::int32_t>(record.SampleCount, 0, kSampleCapacity);
    const int n = count - 1;  // the box's stretch after an open: samples 0 .. N-2
    const double spacingMs = static_cast<double>(record.TimeMultiplier) * record.SampleInterval;
    if (n < 4) {
        m.unusable = "слишком мало выборок (" + std::to_string(std::max(count, 0)) + ")";
        return a;
    }
    if (!(record.LuxFactor > 0.0f && record.LuxFactor <= 20.0f)) {
        m.unusable = "файл повреждён: неверный множитель люксов";
        return a;
    }
    if (record.RangeIndex < 1 || record.RangeIndex > 8) {
        m.unusable = "файл повреждён: неверный диапазон";
        return a;
    }
    if (!(spacingMs > 0.0) || !std::isfinite(spacingMs)) {
        m.unusable = "файл повреждён: неверный интервал выборок";
        return a;
    }
    const StatisticsValues box = ComputeStatistics(record, 0, n);
    if (box.outcome != StatisticsValues::Outcome::Shown) {
        m.unusable = "среднее равно 0: выберите более чувствительный диапазон";
        return a;
    }
    m.meanUnits = box.mean;
    m.exponent = box.exponent;
    m.illuminance = box.mean * std::pow(10.0, box.exponent);
    // Kп as the box shows it: K with three decimals.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, box.pulsation, std::chars_format::fixed, 3);
    std::string k(buf, res.ptr);
    k.erase(std::remove(k.begin(), k.end(), '.'), k.end());
    std::from_chars(k.data(), k.data() + k.size(), m.pulsationThousandths);
    m.pulsationPercent = static_cast<double>(m.pulsationThousandths) / 10.0;

    m.stretchSamples = n;
    m.sampleRateHz = 1000.0 / spacingMs;
    std::vector<double> x(static_cast<std::size_t>(n));
    double sum = 0.0;
    double lo = record.Samples[0];
    double hi = lo;
    for (int i = 0; i < n; ++i) {
        const double v = record.Samples[static_cast<std::size_t>(i)];
        x[static_cast<std::size_t>(i)] = v;
        sum += v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    const double mean = sum / n;
    m.percentFlicker = 100.0 * (hi - lo) / (hi + lo);

    std::vector<double> ac(x);
    for (double& v : ac)
        v -= mean;
    auto amp = Amplitudes(ac);
    std::size_t peak = 1;
    for (std::size_t k2 = 2; k2 < amp.size(); ++k2)
        if (amp[k2] > amp[peak])
            peak = k2;
    int run = n;
    if (amp[peak] >= 0.01 * mean) {
        const double f = RefinedPeak(ac, peak) * m.sampleRateHz / n;
        m.frequency = f;
        const double period = m.sampleRateHz / f;
        const double whole = std::floor(n / period);
        run = whole >= 1.0 ? std::min(n, static_cast<int>(std::lround(whole * period))) : 0;
        a.wholePeriods = static_cast<int>(whole);
    }
    m.ieee = ClassifyIeee1789(m.frequency, m.percentFlicker);
    m.svmUpperHz = std::min(kSvmHighHz, m.sampleRateHz / 2.0);
    m.periodRunSamples = run;
    // Without a usable run of whole periods the spectrum is that of the whole stretch.
    auto wholeStretch = [&] {
        a.amplitudes = std::move(amp);
        a.mean = mean;
        a.binHz = m.sampleRateHz / n;
        a.wholePeriods = 0;
        return std::move(a);
    };
    if (run < 2)
        return wholeStretch();  // less than one period

    // FI and SVM over the whole periods from the first sample.
    const std::vector<double> part(x.begin(), x.begin() + run);
    double partSum = 0.0;
    for (double v : part)
        partSum += v;
    if (!(partSum > 0.0))
        return wholeStretch();  // the whole periods are dark: no index of their flicker
    const double partMean = partSum / run;
    double above = 0.0;
    for (double v : part)
        above += std::max(0.0, v - partMean);
    m.flickerIndex = above / partSum;

    std::vector<double> partAc(part);
    for (double& v : partAc)
        v -= partMean;
    a.amplitudes = Amplitudes(partAc);
    a.mean = partMean;
    a.binHz = m.sampleRateHz / run;
    double svmSum = 0.0;
    bool any = false;
    for (std::size_t k2 = 1; k2 < a.amplitudes.size(); ++k2) {
        const double f = static_cast<double>(k2) * a.binHz;
        if (f < kSvmLowHz || f > kSvmHighHz || f >= m.sampleRateHz / 2.0)
            continue;
        any = true;
        svmSum += std::pow(a.amplitudes[k2] / partMean / SvmThreshold(f), 3.7);
    }
    if (any)
        m.svm = std::pow(svmSum, 1.0 / 3.7);
    return a;
}

}  // namespace

FlickerMetrics ComputeFlickerMetrics(const MeasurementRecord& record)
{
    return Analyse(record).metrics;
}

FlickerSpectrum ComputeFlickerSpectrum(const MeasurementRecord& record)
{
    Analysis a = Analyse(record);
    FlickerSpectrum s;
    s.unusable = a.metrics.unusable;
    s.frequency = a.metrics.frequency;
    if (!a.metrics.Usable() || a.amplitudes.size() < 2)
        return s;
    s.nyquistHz = a.metrics.sampleRateHz / 2.0;
    for (std::size_t k = 1; k < a.amplitudes.size(); ++k)
        s.lines.push_back({static_cast<double>(k) * a.binHz, 100.0 * a.amplitudes[k] / a.mean});
    if (!s.frequency)
        return s;
    // Harmonic h of F: bin h * (whole periods) of the run, or the nearest bin
    // of the stretch when it holds less than one period.
    for (int h = 1; h * *s.frequency <= s.nyquistHz + 1e-9; ++h) {
        const auto bin = a.wholePeriods > 0 ? static_cast<std::size_t>(h) * static_cast<std::size_t>(a.wholePeriods)
                                            : static_cast<std::size_t>(std::lround(h * *s.frequency / a.binHz));
        if (bin < 1 || bin >= a.amplitudes.size())
            break;
        s.harmonics.push_back({h * *s.frequency, 100.0 * a.amplitudes[bin] / a.mean});
    }
    return s;
}

std::string IlluminanceText(const FlickerMetrics& m, const NumberFormat& nf)
{
    if (!m.Usable())
        return kNone;
    std::int64_t units = m.meanUnits;
    for (int e = 0; e < m.exponent; ++e)
        units *= 10;
    return Digits(units, std::max(0, -m.exponent), nf);
}

std::string PulsationText(const FlickerMetrics& m, const NumberFormat& nf)
{
    if (!m.Usable())
        return kNone;
    // Thousandths of K are tenths of a percent.
    return Digits(m.pulsationThousandths, 1, nf);
}

std::string OptionalText(const std::optional<double>& value, int decimals, const NumberFormat& nf)
{
    return value ? FormatFixed(*value, decimals, nf) : std::string(kNone);
}

}  // namespace analysis
