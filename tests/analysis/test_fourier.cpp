#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/flicker.h"
#include "analysis/fourier.h"
#include "wave_record.h"

namespace {

using namespace analysis;

TEST(Spectrum, ASineGivesItsAmplitudeAtItsBinOfAnyLength)
{
    // A fast length straight through KissFFT, a prime one through the chirp
    // convolution; the refined peak finds a tone between bins.
    for (const int n : {400, 397}) {
        std::vector<double> x(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            x[static_cast<std::size_t>(i)] = 3.0 * std::cos(2.0 * std::numbers::pi * 10.0 * i / n);
        const auto a = Amplitudes(x);
        ASSERT_EQ(a.size(), static_cast<std::size_t>(n / 2 + 1));
        for (std::size_t k = 0; k < a.size(); ++k)
            EXPECT_NEAR(a[k], k == 10 ? 3.0 : 0.0, 1e-3) << n << ": " << k;
        for (int i = 0; i < n; ++i)
            x[static_cast<std::size_t>(i)] = std::sin(2.0 * std::numbers::pi * 10.3 * i / n);
        EXPECT_NEAR(RefinedPeak(x, 10), 10.3, 0.02) << n;
    }
}

TEST(FlickerSpectrum, HundredHertzSineOfTenPercentIsOneLine)
{
    const auto s = ComputeFlickerSpectrum(Record([](int i) { return Sine(i, 10000, 0.1, 100); }));
    ASSERT_TRUE(s.unusable.empty());
    ASSERT_FALSE(s.lines.empty());
    EXPECT_GT(s.lines.front().hz, 0.0);            // no 0 Hz line
    EXPECT_NEAR(s.lines.back().hz, 5000.0, 0.01);  // 0.1 ms as a float
    EXPECT_NEAR(s.nyquistHz, 5000.0, 0.01);
    for (const SpectrumLine& line : s.lines) {
        if (std::fabs(line.hz - 100.0) < 0.01) {
            EXPECT_NEAR(line.percent, 10.0, 0.05);
        } else {
            EXPECT_LT(line.percent, 0.05) << line.hz;
        }
    }
    ASSERT_EQ(s.harmonics.size(), 50u);  // 100 .. 5000 Hz
    EXPECT_NEAR(s.harmonics[0].hz, 100.0, 0.5);
    EXPECT_NEAR(s.harmonics[0].percent, 10.0, 0.05);
    EXPECT_LT(s.harmonics[1].percent, 0.05);

    // Constant light: lines of nothing, no harmonics; a damaged record: nothing.
    const auto flat = ComputeFlickerSpectrum(Record([](int) { return 1234.0; }));
    EXPECT_TRUE(flat.harmonics.empty());
    for (const SpectrumLine& line : flat.lines)
        EXPECT_LT(line.percent, 1e-3);
    auto damaged = Record([](int) { return 100.0; });
    damaged.SampleCount = 3;
    EXPECT_FALSE(ComputeFlickerSpectrum(damaged).unusable.empty());
    EXPECT_TRUE(ComputeFlickerSpectrum(damaged).lines.empty());
}

TEST(FlickerSpectrum, SquareWaveHasOddHarmonicsOfFourHundredOverPiK)
{
    // Half duty between 0 and twice the mean, 100 Hz: 100 samples a period.
    const auto s = ComputeFlickerSpectrum(Record([](int i) { return i % 100 < 50 ? 2000.0 : 0.0; }));
    ASSERT_GE(s.harmonics.size(), 9u);
    for (std::size_t k = 1; k <= 9; ++k) {
        const SpectrumLine& h = s.harmonics[k - 1];
        EXPECT_NEAR(h.hz, 100.0 * static_cast<double>(k), 0.5 * static_cast<double>(k));
        // 127 %, 42 %, 25 % ...; the sampled wave's own lines lie a little above.
        const double expected = k % 2 == 1 ? 400.0 / (std::numbers::pi * static_cast<double>(k)) : 0.0;
        EXPECT_NEAR(h.percent, expected, 0.01 * expected + 0.05) << k;
    }
}

}  // namespace
