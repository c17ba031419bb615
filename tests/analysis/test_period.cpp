#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "analysis/period.h"

namespace {

using analysis::MeasurementRecord;
using analysis::PeriodSearch;
using analysis::SmoothAutocorrelation;

const analysis::NumberFormat kPoint{".", ","};

MeasurementRecord Wave(int count, int period, std::uint8_t multiplier = 1, float interval = 0.25f)
{
    MeasurementRecord r;
    for (int j = 0; j < count; ++j)
        r.Samples[static_cast<std::size_t>(j)] =
            static_cast<std::uint16_t>(std::lround(1000.0 + 500.0 * std::sin(2.0 * std::numbers::pi * j / period)));
    r.SampleCount = count;
    r.RangeIndex = 5;
    r.TimeMultiplier = multiplier;
    r.LuxFactor = 0.5f;
    r.SampleInterval = interval;
    r.RangeDecade = 1.0;
    return r;
}

MeasurementRecord Constant(int count, std::uint16_t value)
{
    MeasurementRecord r = Wave(count, 40);
    for (int j = 0; j < count; ++j)
        r.Samples[static_cast<std::size_t>(j)] = value;
    return r;
}

// The textbook definition, written out independently of the implementation.
std::vector<double> ReferenceAutocorrelation(const MeasurementRecord& r)
{
    const int H = r.SampleCount / 2;
    std::vector<double> R;
    for (int k = 0; k < H; ++k) {
        long double sum = 0;
        for (int j = 0; j < H; ++j)
            sum += static_cast<long double>(r.Samples[j]) * r.Samples[j + k];
        R.push_back(static_cast<double>(sum));
    }
    return R;
}

double Mean(const std::vector<double>& v, std::size_t n)
{
    double s = 0;
    for (std::size_t i = 0; i < n; ++i)
        s += v[i];
    return s / static_cast<double>(n);
}

TEST(Autocorrelation, MatchesReferenceForEveryLength)
{
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> any(0, 65535);
    for (int count = 0; count <= 405; ++count) {
        MeasurementRecord r;
        for (int j = 0; j < analysis::kSampleCapacity; ++j)
            r.Samples[static_cast<std::size_t>(j)] = static_cast<std::uint16_t>(any(gen));
        // Full-scale samples overflow a 32-bit signed product.
        r.Samples[0] = 65535;
        r.SampleCount = count;
        const auto R = analysis::Autocorrelation(r);
        const auto ref = ReferenceAutocorrelation(r);
        ASSERT_EQ(R.size(), static_cast<std::size_t>(count / 2)) << count;
        for (std::size_t k = 0; k < R.size(); ++k)
            ASSERT_EQ(R[k], ref[k]) << "count " << count << " lag " << k;
    }
}

TEST(Autocorrelation, NeverUsesTheLastSampleOrStaleEntries)
{
    MeasurementRecord r = Constant(5, 10);
    r.Samples[4] = 60000;  // index 2H = 4 must not enter
    r.Samples[5] = 60000;
    EXPECT_EQ(analysis::Autocorrelation(r), (std::vector<double>{200.0, 200.0}));
    r.SampleCount = -3;
    EXPECT_TRUE(analysis::Autocorrelation(r).empty());
    r.SampleCount = 100000;  // clamped to the array
    EXPECT_EQ(analysis::Autocorrelation(r).size(), static_cast<std::size_t>(analysis::kSampleCapacity / 2));
}

TEST(SmoothAutocorrelation, SumsWPlusOneUnsmoothedLagsOverW)
{
    std::vector<double> R{1, 2, 4, 8, 16, 32, 64};
    SmoothAutocorrelation(R, 2);
    EXPECT_EQ(R, (std::vector<double>{3.5, 7, 14, 28, 56}));
    std::vector<double> same{1, 2, 3};
    SmoothAutocorrelation(same, 0);
    EXPECT_EQ(same, (std::vector<double>{1, 2, 3}));
    SmoothAutocorrelation(same, 3);
    EXPECT_TRUE(same.empty());
}

TEST(PeriodSearch, PeriodicRecordGivesPeriodFrequencyAndMarker)
{
    const MeasurementRecord r = Wave(400, 40);
    const auto res = PeriodSearch(r, 0, true, kPoint);
    EXPECT_EQ(res.P1, 40);
    EXPECT_EQ(res.P2, 80);
    ASSERT_TRUE(res.frequency);
    EXPECT_DOUBLE_EQ(*res.frequency, 100.0);
    EXPECT_FALSE(res.showMessage);
    EXPECT_EQ(res.title, (std::vector<std::string>{"Число точек на период:40;  F=100Гц"}));

    const auto R = ReferenceAutocorrelation(r);
    ASSERT_EQ(res.curve.size(), 200u);
    EXPECT_EQ(res.curve[1].y, 1.0);
    EXPECT_DOUBLE_EQ(res.curve[0].y, R[0] / R[1]);
    EXPECT_DOUBLE_EQ(res.curve[137].y, R[137] / R[1]);
    EXPECT_EQ(res.curve[137].x, 137.0);

    const double level = Mean(R, 200) / R[1];
    ASSERT_EQ(res.marker.size(), 2u);
    EXPECT_EQ(res.marker[0].x, 40.0);
    EXPECT_EQ(res.marker[1].x, 80.0);
    EXPECT_DOUBLE_EQ(res.marker[0].y, level);
    EXPECT_DOUBLE_EQ(res.marker[1].y, level);
}

TEST(PeriodSearch, PeriodSwitchOffKeepsTitleWithoutMarker)
{
    const auto res = PeriodSearch(Wave(400, 40), 0, false, kPoint);
    EXPECT_TRUE(res.marker.empty());
    EXPECT_EQ(res.title, (std::vector<std::string>{"Число точек на период:40;  F=100Гц"}));
    EXPECT_EQ(res.curve.size(), 200u);
}

TEST(PeriodSearch, FrequencyFollowsTheTimeScale)
{
    // 1000 / 25 / 3 / 0.1 = 133.33 Hz
    const auto res = PeriodSearch(Wave(400, 25, 3, 0.1f), 0, true, kPoint);
    EXPECT_EQ(res.P1, 25);
    EXPECT_EQ(res.P2, 50);
    EXPECT_EQ(res.title, (std::vector<std::string>{"Число точек на период:25;  F=133Гц"}));
}

TEST(PeriodSearch, ConstantRecordIsFlatWithoutPeak)
{
    const auto res = PeriodSearch(Constant(400, 777), 0, true, kPoint);
    ASSERT_EQ(res.curve.size(), 200u);
    for (const auto& p : res.curve)
        EXPECT_EQ(p.y, 1.0);
    EXPECT_TRUE(res.showMessage);
    EXPECT_TRUE(res.title.empty());
    EXPECT_TRUE(res.marker.empty());
    EXPECT_EQ(res.P1, -1);
    EXPECT_FALSE(res.frequency);
}

TEST(PeriodSearch, RecordsWithoutLagOneEndQuietly)
{
    const std::vector<std::string> start{"Корелляционная функция"};
    for (const auto& r : {Constant(400, 0), Constant(3, 500), Constant(0, 0), Constant(2, 9)}) {
        const auto res = PeriodSearch(r, 0, true, kPoint);
        EXPECT_TRUE(res.curve.empty());
        EXPECT_TRUE(res.marker.empty());
        EXPECT_FALSE(res.showMessage);
        EXPECT_EQ(res.title, start);
    }
    // The same holds whatever the smoothing, w >= H included.
    EXPECT_FALSE(PeriodSearch(Constant(400, 0), 100, true, kPoint).showMessage);
    EXPECT_FALSE(PeriodSearch(Constant(3, 5), 100, true, kPoint).showMessage);
    // R[1] counts after smoothing: 5, 0, 5, 0 ... has R[1] = 0 but R[2] > 0.
    MeasurementRecord alternating = Constant(400, 5);
    for (std::size_t j = 1; j < 400; j += 2)
        alternating.Samples[j] = 0;
    EXPECT_TRUE(PeriodSearch(alternating, 0, true, kPoint).curve.empty());
    EXPECT_EQ(PeriodSearch(alternating, 2, true, kPoint).curve.size(), 198u);
    // Four samples are the fewest with a lag 1.
    EXPECT_EQ(PeriodSearch(Constant(4, 5), 0, true, kPoint).curve.size(), 2u);
}

TEST(PeriodSearch, SmoothingShortensTheCurveAndZeroRestoresIt)
{
    const MeasurementRecord r = Wave(400, 40);
    const auto R = ReferenceAutocorrelation(r);
    const auto plain = PeriodSearch(r, 0, true, kPoint);
    for (std::size_t w : {4u, 5u}) {
        const auto smooth = PeriodSearch(r, static_cast<int>(w), true, kPoint);
        const std::size_t L = 200 - w;
        ASSERT_EQ(smooth.curve.size(), L);
        std::vector<double> S;
        for (std::size_t b = 0; b < L; ++b) {
            double s = 0;
            for (std::size_t a = 0; a <= w; ++a)
                s += R[b + a];
            S.push_back(s / static_cast<double>(w));
        }
        for (std::size_t i = 0; i < L; ++i)
            ASSERT_DOUBLE_EQ(smooth.curve[i].y, S[i] / S[1]) << w << " " << i;
        if (w == 4) {
            // Five lags centred two after b: the peaks move two lags earlier.
            EXPECT_EQ(smooth.P1, 38);
            EXPECT_EQ(smooth.P2, 78);
            ASSERT_EQ(smooth.marker.size(), 2u);
            EXPECT_DOUBLE_EQ(smooth.marker[0].y, Mean(S, L) / S[1]);
        } else {
            // Six lags of a symmetric function tie at 37 and 38: no strict peak.
            EXPECT_EQ(smooth.curve[37].y, smooth.curve[38].y);
            EXPECT_TRUE(smooth.showMessage);
        }
    }
    const auto again = PeriodSearch(r, 0, true, kPoint);
    ASSERT_EQ(again.curve.size(), plain.curve.size());
    for (std::size_t i = 0; i < plain.curve.size(); ++i)
        EXPECT_EQ(again.curve[i].y, plain.curve[i].y);
    EXPECT_EQ(again.title, plain.title);
}

TEST(PeriodSearch, WidestSmoothingOn400SamplesLeaves100Lags)
{
    const auto res = PeriodSearch(Wave(400, 40), 100, true, kPoint);
    EXPECT_EQ(res.curve.size(), 100u);
    EXPECT_EQ(res.curve.back().x, 99.0);
}

TEST(PeriodSearch, SmoothingWiderThanTheFunctionAsksForAnotherRange)
{
    for (int w : {100, 101}) {
        const auto res = PeriodSearch(Wave(200, 20), w, true, kPoint);  // H = 100
        EXPECT_TRUE(res.curve.empty()) << w;
        EXPECT_TRUE(res.marker.empty());
        EXPECT_TRUE(res.title.empty());
        EXPECT_TRUE(res.showMessage);
    }
    // One lag left: a single point, normalised to the unsmoothed lag 1.
    const MeasurementRecord r = Wave(200, 20);
    const auto R = ReferenceAutocorrelation(r);
    const auto res = PeriodSearch(r, 99, true, kPoint);
    ASSERT_EQ(res.curve.size(), 1u);
    double s = 0;
    for (double v : R)
        s += v;
    EXPECT_DOUBLE_EQ(res.curve[0].y, s / 99 / R[1]);
    EXPECT_TRUE(res.showMessage);
}

TEST(PeriodSearch, ZeroTimeFactorAsksForAnotherRange)
{
    for (const auto& r : {Wave(400, 40, 1, 0.0f), Wave(400, 40, 0, 0.25f), Wave(400, 40, 1, std::nanf(""))}) {
        const auto res = PeriodSearch(r, 0, true, kPoint);
        EXPECT_EQ(res.curve.size(), 200u);
        EXPECT_EQ(res.P1, 40);
        EXPECT_TRUE(res.showMessage);
        EXPECT_TRUE(res.title.empty());
        EXPECT_TRUE(res.marker.empty());
        EXPECT_FALSE(res.frequency);
    }
}

TEST(PeriodSearch, SecondPeakStartsTwoLagsAfterTheFirst)
{
    // Period 4: the peak test needs two lags on either side, so P1 = 4 and P2 = 8.
    const auto res = PeriodSearch(Wave(400, 4), 0, true, kPoint);
    EXPECT_EQ(res.P1, 4);
    EXPECT_EQ(res.P2, 8);
    // Period 2: every even lag equals its two-lag neighbours, and the strict
    // slope test lets none of them pass.
    MeasurementRecord alternating = Constant(400, 1000);
    for (std::size_t j = 1; j < 400; j += 2)
        alternating.Samples[j] = 2000;
    const auto none = PeriodSearch(alternating, 0, true, kPoint);
    EXPECT_EQ(none.P1, -1);
    EXPECT_TRUE(none.showMessage);
}

}  // namespace
