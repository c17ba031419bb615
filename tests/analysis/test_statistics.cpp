#include <gtest/gtest.h>

#include "analysis/statistics.h"
#include "helpers/sampled_record.h"

namespace {

using analysis::MeasurementRecord;
using analysis::NumberFormat;
using analysis::ShowStatistics;

MeasurementRecord Record(std::initializer_list<std::uint16_t> samples, std::uint8_t range, float lux)
{
    auto r = SampledRecord(static_cast<int>(samples.size()), lux, [&](int i) { return samples.begin()[i]; });
    r.RangeIndex = range;
    r.RangeDecade = analysis::RangeDecadeFor(range);
    return r;
}

const NumberFormat kPoint{".", ","};
const NumberFormat kComma{",", " "};

TEST(ShowStatistics, WorkedExampleGivesTheFiveLines)
{
    auto r = Record({200, 240, 280, 240}, 3, 0.5f);
    auto res = ShowStatistics(r, 0, 4, kPoint);
    ASSERT_TRUE(res.lines);
    EXPECT_EQ(*res.lines, (std::vector<std::string>{
                              "СРЕДНЕЕ     120 e-2 люкс",
                              "МАКСИМУМ 140 e-2 люкс",
                              "МИНИМУМ  100 e-2 люкс",
                              "К пульсаций  0.167",
                              "СКО, %      13.608",
                          }));
    EXPECT_EQ(res.SampleMin, 200);
    EXPECT_EQ(res.SampleMax, 280);
}

TEST(ShowStatistics, DecimalSeparatorFollowsTheLocale)
{
    auto r = Record({200, 240, 280, 240}, 3, 0.5f);
    auto res = ShowStatistics(r, 0, 4, kComma);
    ASSERT_TRUE(res.lines);
    EXPECT_EQ((*res.lines)[3], "К пульсаций  0,167");
    EXPECT_EQ((*res.lines)[4], "СКО, %      13,608");
}

TEST(ShowStatistics, EndIsExclusive)
{
    // The reply processing passes SampleCount - 1: the last sample stays out.
    auto r = Record({100, 100, 100, 60000}, 5, 1.0f);
    auto res = ShowStatistics(r, 0, r.SampleCount - 1, kPoint);
    ASSERT_TRUE(res.lines);
    EXPECT_EQ((*res.lines)[0], "СРЕДНЕЕ     100 e0 люкс");
    EXPECT_EQ((*res.lines)[1], "МАКСИМУМ 100 e0 люкс");
    EXPECT_EQ(res.SampleMax, 100);
}

TEST(ShowStatistics, OneSampleWindowHasZeroDeviation)
{
    auto r = Record({500, 7}, 8, 1.0f);
    auto res = ShowStatistics(r, 0, 1, kPoint);
    ASSERT_TRUE(res.lines);
    EXPECT_EQ((*res.lines)[0], "СРЕДНЕЕ     500 e3 люкс");
    EXPECT_EQ((*res.lines)[3], "К пульсаций  0.000");
    EXPECT_EQ((*res.lines)[4], "СКО, %      0.000");
}

TEST(ShowStatistics, AllEqualSamples)
{
    auto r = Record({300, 300, 300, 300, 300}, 1, 2.0f);
    auto res = ShowStatistics(r, 0, 5, kPoint);
    ASSERT_TRUE(res.lines);
    EXPECT_EQ((*res.lines)[0], "СРЕДНЕЕ     600 e-4 люкс");
    EXPECT_EQ((*res.lines)[1], "МАКСИМУМ 600 e-4 люкс");
    EXPECT_EQ((*res.lines)[2], "МИНИМУМ  600 e-4 люкс");
    EXPECT_EQ((*res.lines)[3], "К пульсаций  0.000");
    EXPECT_EQ((*res.lines)[4], "СКО, %      0.000");
}

TEST(ShowStatistics, ZeroMeanClearsTheBox)
{
    auto r = Record({0, 0, 0, 0}, 5, 1.0f);
    auto res = ShowStatistics(r, 0, 4, kPoint);
    ASSERT_TRUE(res.lines);
    EXPECT_TRUE(res.lines->empty());
}

TEST(ShowStatistics, EarlyStopsLeaveTheBoxUnchanged)
{
    auto r = Record({200, 240}, 3, 0.5f);
    EXPECT_FALSE(ShowStatistics(r, 1, 1, kPoint).lines);
    EXPECT_FALSE(ShowStatistics(r, -1, -1, kPoint).lines);
    auto big = Record({200, 240}, 3, 20.5f);
    EXPECT_FALSE(ShowStatistics(big, 0, 2, kPoint).lines);
    auto negative = Record({200, 240}, 3, -21.0f);
    EXPECT_FALSE(ShowStatistics(negative, 0, 2, kPoint).lines);
    auto exactly20 = Record({200, 240}, 3, 20.0f);
    EXPECT_TRUE(ShowStatistics(exactly20, 0, 2, kPoint).lines);
}

TEST(ShowStatistics, NonFiniteFactorIsTreatedAsDamaged)
{
    auto r = Record({200, 240}, 3, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(ShowStatistics(r, 0, 2, kPoint).lines);
    r.LuxFactor = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(ShowStatistics(r, 0, 2, kPoint).lines);
}

TEST(ShowStatistics, MeanRoundsHalvesToEven)
{
    // (1 + 2) / 2 = 1.5 -> 2;  (2 + 3) / 2 = 2.5 -> 2.
    EXPECT_EQ((*ShowStatistics(Record({1, 2}, 5, 1.0f), 0, 2, kPoint).lines)[0], "СРЕДНЕЕ     2 e0 люкс");
    EXPECT_EQ((*ShowStatistics(Record({2, 3}, 5, 1.0f), 0, 2, kPoint).lines)[0], "СРЕДНЕЕ     2 e0 люкс");
    // Maximum 5 * 0.5 = 2.5 -> 2, minimum 3 * 0.5 = 1.5 -> 2.
    auto res = ShowStatistics(Record({3, 5}, 5, 0.5f), 0, 2, kPoint);
    EXPECT_EQ((*res.lines)[1], "МАКСИМУМ 2 e0 люкс");
    EXPECT_EQ((*res.lines)[2], "МИНИМУМ  2 e0 люкс");
}

TEST(ShowStatistics, StretchInsideTheRecord)
{
    auto r = Record({1000, 1000, 200, 240, 280, 240, 1000}, 3, 0.5f);
    auto res = ShowStatistics(r, 2, 6, kPoint);
    ASSERT_TRUE(res.lines);
    EXPECT_EQ((*res.lines)[0], "СРЕДНЕЕ     120 e-2 люкс");
}

TEST(ShowStatistics, InvalidWindowsNeverReadOutsideTheSamples)
{
    auto r = Record({200, 240, 280, 240}, 3, 0.5f);
    // No first point but a last one: the stretch starts at the first sample.
    auto res = ShowStatistics(r, -1, 4, kPoint);
    ASSERT_TRUE(res.lines);
    EXPECT_EQ((*res.lines)[0], "СРЕДНЕЕ     120 e-2 люкс");
    // An empty range reported as end = first - 1 clears the box.
    auto empty = ShowStatistics(r, 3, 2, kPoint);
    ASSERT_TRUE(empty.lines);
    EXPECT_TRUE(empty.lines->empty());
    // An end past the record is cut at SampleCount.
    EXPECT_EQ((*ShowStatistics(r, 0, 100000, kPoint).lines)[0], "СРЕДНЕЕ     120 e-2 люкс");
}

TEST(ShowStatistics, ExponentFollowsTheRange)
{
    EXPECT_EQ((*ShowStatistics(Record({10, 10}, 5, 1.0f), 0, 2, kPoint).lines)[0], "СРЕДНЕЕ     10 e0 люкс");
    EXPECT_EQ((*ShowStatistics(Record({10, 10}, 8, 1.0f), 0, 2, kPoint).lines)[2], "МИНИМУМ  10 e3 люкс");
}

TEST(RangeDecade, MatchesTheDecadeOfEachRange)
{
    EXPECT_DOUBLE_EQ(analysis::RangeDecadeFor(1), 1e-4);
    EXPECT_EQ(analysis::RangeDecadeFor(5), 1.0);
    EXPECT_DOUBLE_EQ(analysis::RangeDecadeFor(8), 1000.0);
    EXPECT_DOUBLE_EQ(analysis::RangeDecadeFor(0), 1e-4);
}

}  // namespace
