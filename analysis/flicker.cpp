#include "analysis/flicker.h"

#include <kiss_fft.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <complex>
#include <map>
#include <memory>
#include <numbers>
#include <vector>

#include "analysis/statistics.h"

namespace analysis {

namespace {

struct FftFree {
    void operator()(kiss_fft_cfg cfg) const { kiss_fft_free(cfg); }
};

using Fft = std::unique_ptr<kiss_fft_state, FftFree>;

// Making a transform's tables costs more than the transform; a protocol
// repeats few lengths, so the tables are kept per thread.
kiss_fft_cfg Plan(int n, bool inverse)
{
    thread_local std::map<std::pair<int, bool>, Fft> plans;
    if (plans.size() > 64)
        plans.clear();
    Fft& plan = plans[{n, inverse}];
    if (!plan)
        plan.reset(kiss_fft_alloc(n, inverse ? 1 : 0, nullptr, nullptr));
    return plan.get();
}

std::vector<kiss_fft_cpx> Transform(const std::vector<kiss_fft_cpx>& in, bool inverse)
{
    std::vector<kiss_fft_cpx> out(in.size());
    kiss_fft(Plan(static_cast<int>(in.size()), inverse), in.data(), out.data());
    return out;
}

// The chirp of a length n for the chirp convolution: w_j = exp(-i pi j^2 / n)
// and the spectrum of conj(w) wrapped around a fast length m >= 2n - 1.
struct Chirp {
    std::vector<std::complex<double>> w;
    std::vector<std::complex<double>> spectrum;
};

const Chirp& ChirpFor(int n)
{
    thread_local std::map<int, Chirp> chirps;
    if (chirps.size() > 64)
        chirps.clear();
    Chirp& c = chirps[n];
    if (!c.w.empty())
        return c;
    const auto m = static_cast<std::size_t>(kiss_fft_next_fast_size(2 * n - 1));
    c.w.resize(static_cast<std::size_t>(n));
    std::vector<kiss_fft_cpx> b(m, kiss_fft_cpx{0.0f, 0.0f});
    for (int j = 0; j < n; ++j) {
        const long long q = (static_cast<long long>(j) * j) % (2LL * n);
        c.w[static_cast<std::size_t>(j)] = std::polar(1.0, -std::numbers::pi * static_cast<double>(q) / n);
        const auto conj = std::conj(c.w[static_cast<std::size_t>(j)]);
        b[static_cast<std::size_t>(j)] = {static_cast<float>(conj.real()), static_cast<float>(conj.imag())};
        if (j > 0)
            b[m - static_cast<std::size_t>(j)] = b[static_cast<std::size_t>(j)];
    }
    const auto fb = Transform(b, false);
    c.spectrum.resize(m);
    for (std::size_t k = 0; k < m; ++k)
        c.spectrum[k] = {fb[k].r, fb[k].i};
    return c;
}

// The complex spectrum of real values, components 0 .. n/2, unscaled. A
// length with large prime factors (a run of whole periods may be any length)
// goes through a chirp convolution of a fast length, as the direct transform
// of such a length costs up to n^2.
std::vector<std::complex<double>> Spectrum(const std::vector<double>& x)
{
    const int n = static_cast<int>(x.size());
    std::vector<std::complex<double>> s(x.size() / 2 + 1);
    const int fast = kiss_fft_next_fast_size(n);
    if (fast == n) {
        std::vector<kiss_fft_cpx> in(x.size());
        for (std::size_t i = 0; i < x.size(); ++i)
            in[i] = {static_cast<float>(x[i]), 0.0f};
        const auto out = Transform(in, false);
        for (std::size_t k = 0; k < s.size(); ++k)
            s[k] = {out[k].r, out[k].i};
        return s;
    }
    // X_k = w_k * sum_j (x_j w_j) conj(w_(k-j)), w_j = exp(-i pi j^2 / n).
    const Chirp& chirp = ChirpFor(n);
    const std::size_t m = chirp.spectrum.size();
    std::vector<kiss_fft_cpx> a(m, kiss_fft_cpx{0.0f, 0.0f});
    for (std::size_t j = 0; j < x.size(); ++j) {
        const auto v = x[j] * chirp.w[j];
        a[j] = {static_cast<float>(v.real()), static_cast<float>(v.imag())};
    }
    const auto fa = Transform(a, false);
    std::vector<kiss_fft_cpx> product(m);
    for (std::size_t k = 0; k < m; ++k) {
        const auto p = std::complex<double>(fa[k].r, fa[k].i) * chirp.spectrum[k];
        product[k] = {static_cast<float>(p.real()), static_cast<float>(p.imag())};
    }
    const auto conv = Transform(product, true);
    for (std::size_t k = 0; k < s.size(); ++k)
        s[k] = chirp.w[k] * std::complex<double>(conv[k].r, conv[k].i) / static_cast<double>(m);
    return s;
}

// The amplitude of each component 0 .. n/2 of real values: a sine of
// amplitude A gives A at its bin.
std::vector<double> Amplitudes(const std::vector<double>& x)
{
    const auto s = Spectrum(x);
    const double n = static_cast<double>(x.size());
    std::vector<double> a(s.size());
    for (std::size_t k = 0; k < s.size(); ++k) {
        const bool single = k == 0 || (x.size() % 2 == 0 && k == x.size() / 2);
        a[k] = std::abs(s[k]) * (single ? 1.0 : 2.0) / n;
    }
    return a;
}

// The bin of the strongest component refined between bins: the spectrum
// under a periodic Hann window, where the ratio of the larger neighbour to
// the peak gives the offset of a single tone exactly.
double RefinedPeak(const std::vector<double>& x, std::size_t peak)
{
    const std::size_t n = x.size();
    std::vector<double> w(n);
    for (std::size_t i = 0; i < n; ++i)
        w[i] = x[i] * (0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n)));
    const auto s = Spectrum(w);
    const std::size_t last = s.size() - 1;
    auto mag = [&](std::size_t k) { return std::abs(s[k]); };
    // The windowed peak lies at the plain peak or next to it.
    std::size_t k = peak;
    if (k > 1 && mag(k - 1) > mag(k))
        k = k - 1;
    if (k < last && mag(k + 1) > mag(k))
        k = k + 1;
    const double b = mag(k);
    if (b <= 0.0)
        return static_cast<double>(peak);
    const double left = k > 1 ? mag(k - 1) : 0.0;
    const double right = k < last ? mag(k + 1) : 0.0;
    const double alpha = std::max(left, right) / b;
    const double delta = std::clamp((2.0 * alpha - 1.0) / (alpha + 1.0), 0.0, 0.5);
    return static_cast<double>(k) + (right >= left ? delta : -delta);
}

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
