#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "analysis/flicker.h"
#include "analysis/statistics.h"
#include "wave_record.h"

namespace {

using namespace analysis;

const NumberFormat kPoint{".", ","};

TEST(FlickerMetrics, SquareWaveOfHalfDuty)
{
    // 10 samples at 2000, 10 at 0: 500 Hz. The stretch is 399 samples, 200 of them high.
    const auto m = ComputeFlickerMetrics(Record([](int i) { return i % 20 < 10 ? 2000.0 : 0.0; }, 0.5f, 4));
    ASSERT_TRUE(m.Usable()) << m.unusable;
    // Box: M = round(2000 * 200 / 399 * 0.5) = 501 e-1; K = 2000 * 0.5 / 2 / 501 = 0.998.
    EXPECT_EQ(IlluminanceText(m, kPoint), "50.1");
    EXPECT_EQ(PulsationText(m, kPoint), "99.8");
    EXPECT_DOUBLE_EQ(m.percentFlicker, 100.0);
    ASSERT_TRUE(m.frequency);
    EXPECT_NEAR(*m.frequency, 500.0, 2.0);
    EXPECT_EQ(m.periodRunSamples, 380);  // 19 whole periods
    ASSERT_TRUE(m.flickerIndex);
    EXPECT_DOUBLE_EQ(*m.flickerIndex, 0.5);
    EXPECT_EQ(m.ieee, Ieee1789Class::Risk);
}

TEST(FlickerMetrics, SineOnALevelHasFlickerIndexModulationOverPi)
{
    const auto m = ComputeFlickerMetrics(Record([](int i) { return Sine(i, 1000, 0.5, 40); }));
    ASSERT_TRUE(m.Usable());
    EXPECT_DOUBLE_EQ(m.percentFlicker, 50.0);
    ASSERT_TRUE(m.frequency);
    EXPECT_NEAR(*m.frequency, 250.0, 0.5);
    EXPECT_EQ(m.periodRunSamples, 360);
    ASSERT_TRUE(m.flickerIndex);
    EXPECT_NEAR(*m.flickerIndex, 0.5 / std::numbers::pi, 0.002);
}

TEST(FlickerMetrics, ConstantLevelHasNoFlicker)
{
    const auto m = ComputeFlickerMetrics(Record([](int) { return 1234.0; }, 1.0f, 6));
    ASSERT_TRUE(m.Usable());
    EXPECT_EQ(IlluminanceText(m, kPoint), "12340");
    EXPECT_EQ(PulsationText(m, kPoint), "0.0");
    EXPECT_EQ(m.percentFlicker, 0.0);
    EXPECT_FALSE(m.frequency);
    EXPECT_EQ(OptionalText(m.frequency, 1, kPoint), "—");
    EXPECT_EQ(m.ieee, Ieee1789Class::NoEffect);
    EXPECT_EQ(m.flickerIndex.value_or(-1), 0.0);
    EXPECT_NEAR(m.svm.value_or(-1), 0.0, 1e-6);
}

TEST(FlickerMetrics, HundredHertzSineOfTenPercent)
{
    const auto m = ComputeFlickerMetrics(Record([](int i) { return Sine(i, 10000, 0.1, 100); }));
    ASSERT_TRUE(m.Usable());
    EXPECT_DOUBLE_EQ(m.percentFlicker, 10.0);
    ASSERT_TRUE(m.frequency);
    EXPECT_NEAR(*m.frequency, 100.0, 0.5);
    EXPECT_EQ(m.periodRunSamples, 300);
    const double t100 = 1.0 / (1.0 + std::exp(-0.00518 * (100.0 - 306.6))) + 20.0 * std::exp(-100.0 / 10.0);
    ASSERT_TRUE(m.svm);
    EXPECT_NEAR(*m.svm, 0.1 / t100, 0.002);
    EXPECT_NEAR(*m.svm, 0.39, 0.005);
    EXPECT_FALSE(m.SvmLimitedByNyquist());
    EXPECT_EQ(m.ieee, Ieee1789Class::Risk);  // 10 > 0.08 * 100

    // Sampled at 2 kHz, components only reach 1000 Hz.
    const auto slow = ComputeFlickerMetrics(Record([](int i) { return Sine(i, 10000, 0.1, 20); }, 1.0f, 5, 0.5f));
    EXPECT_TRUE(slow.SvmLimitedByNyquist());
    EXPECT_DOUBLE_EQ(slow.svmUpperHz, 1000.0);
    EXPECT_NEAR(slow.svm.value_or(-1), 0.1 / t100, 0.002);
}

TEST(FlickerMetrics, DamagedRecordsSayWhy)
{
    auto nan = Record([](int i) { return 100.0 + i; });
    nan.LuxFactor = std::nanf("");
    EXPECT_FALSE(ComputeFlickerMetrics(nan).Usable());
    auto shortRecord = Record([](int) { return 100.0; });
    shortRecord.SampleCount = 3;
    EXPECT_FALSE(ComputeFlickerMetrics(shortRecord).Usable());
    const auto zeros = ComputeFlickerMetrics(Record([](int) { return 0.0; }));
    EXPECT_FALSE(zeros.Usable());
    EXPECT_EQ(IlluminanceText(zeros, kPoint), "—");
    auto noSpacing = Record([](int i) { return 100.0 + i; });
    noSpacing.TimeMultiplier = 0;
    EXPECT_FALSE(ComputeFlickerMetrics(noSpacing).Usable());
}

TEST(FlickerMetrics, DarkWholePeriodsGiveNoFlickerIndexNorSvm)
{
    // One flash at the end of the stretch (sample 398), after the whole periods FI and SVM take.
    const auto m = ComputeFlickerMetrics(Record([](int i) { return i == 398 ? 4000.0 : 0.0; }));
    ASSERT_TRUE(m.Usable()) << m.unusable;
    ASSERT_GE(m.periodRunSamples, 2);
    ASSERT_LE(m.periodRunSamples, 398);
    EXPECT_FALSE(m.flickerIndex);
    EXPECT_FALSE(m.svm);
    EXPECT_EQ(OptionalText(m.flickerIndex, 3, kPoint), "—");
}

TEST(FlickerMetrics, AgreesWithTheResultBox)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        const std::uint8_t range = static_cast<std::uint8_t>(1 + rng() % 8);
        const float lux = 0.01f + static_cast<float>(rng() % 1000) / 100.0f;
        const int level = 50 + static_cast<int>(rng() % 20000);
        const auto r = Record([&](int) { return level + static_cast<double>(rng() % 400); }, lux, range);
        const auto box = ShowStatistics(r, 0, r.SampleCount - 1, kPoint);
        const auto m = ComputeFlickerMetrics(r);
        ASSERT_TRUE(box.lines && box.lines->size() == 5 && m.Usable());
        const std::string& meanLine = (*box.lines)[0];
        const std::string units = meanLine.substr(meanLine.find_first_not_of(' ', meanLine.find(' ')));
        const long long M = std::stoll(units);
        EXPECT_DOUBLE_EQ(std::stod(IlluminanceText(m, kPoint)), M * std::pow(10.0, range - 5)) << meanLine;
        const std::string k = (*box.lines)[3].substr((*box.lines)[3].rfind(' ') + 1);
        EXPECT_NEAR(std::stod(PulsationText(m, kPoint)), std::stod(k) * 100.0, 1e-9) << k;
    }
}

TEST(FlickerVerdicts, Ieee1789Classes)
{
    EXPECT_EQ(ClassifyIeee1789(100.0, 3.0), Ieee1789Class::NoEffect);
    EXPECT_EQ(ClassifyIeee1789(100.0, 8.0), Ieee1789Class::LowRisk);
    EXPECT_EQ(ClassifyIeee1789(100.0, 8.1), Ieee1789Class::Risk);
    EXPECT_EQ(ClassifyIeee1789(60.0, 0.6), Ieee1789Class::NoEffect);
    EXPECT_EQ(ClassifyIeee1789(60.0, 1.5), Ieee1789Class::LowRisk);
    EXPECT_EQ(ClassifyIeee1789(60.0, 2.0), Ieee1789Class::Risk);
    EXPECT_EQ(ClassifyIeee1789(2000.0, 100.0), Ieee1789Class::LowRisk);
    EXPECT_EQ(ClassifyIeee1789(4000.0, 100.0), Ieee1789Class::NoEffect);
    EXPECT_EQ(ClassifyIeee1789(std::nullopt, 100.0), Ieee1789Class::NoEffect);
}

}  // namespace
