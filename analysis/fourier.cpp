#include "analysis/fourier.h"

#include <kiss_fft.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <utility>

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

}  // namespace

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

}  // namespace analysis
