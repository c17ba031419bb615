#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>
#include <utility>

#include "analysis/statistics.h"
#include "device/commands.h"
#include "device/reply.h"
#include "meter_model.h"

namespace {

using meter::Command;

analysis::MeasurementRecord Decode(const std::vector<std::uint8_t>& reply)
{
    analysis::MeasurementRecord rec;
    device::DecodeMeasurementReply(reply, rec);
    return rec;
}

double MeanLux(const analysis::MeasurementRecord& rec)
{
    double sum = 0;
    for (int i = 0; i < rec.SampleCount; ++i)
        sum += rec.Samples[i];
    return sum / rec.SampleCount * rec.LuxFactor * rec.RangeDecade;
}

bool Saturates(const std::vector<std::uint16_t>& counts)
{
    return std::find(counts.begin(), counts.end(), meter::kConverterTop) != counts.end();
}

TEST(MeterReply, LiveMeasurementOfOfficeLightLandsMidScaleOnRange5)
{
    for (double lux : {300.0, 500.0, 800.0}) {
        meter::Light light;
        light.lux = lux;
        meter::Meter m(light, 7);
        const auto rec = Decode(m.Measure(0, 1));
        EXPECT_EQ(rec.RangeIndex, 5) << lux;
        EXPECT_EQ(rec.TimeMultiplier, 1);
        EXPECT_NEAR(MeanLux(rec), lux, lux * 0.02);
        const auto [lo, hi] = std::minmax_element(rec.Samples.begin(), rec.Samples.begin() + rec.SampleCount);
        EXPECT_GT(*lo, 65535 * 0.15) << lux;
        EXPECT_LT(*hi, 65535 * 0.85) << lux;
    }
}

TEST(MeterReply, AutoRangeIsTheMostSensitiveRangeThatDoesNotSaturate)
{
    std::mt19937 rng(3);
    for (double lux = 0.001; lux < 2e6; lux *= 1.7) {
        meter::Light light;
        light.lux = lux;
        light.ripplePercent = 40;
        const auto samples = meter::SampleLight(light, 1, 0.3, rng);
        const int range = meter::AutoRange(samples);
        const double peak = *std::max_element(samples.begin(), samples.end());
        if (peak >= meter::FullScaleLux(8)) {
            EXPECT_EQ(range, 8) << lux;
            continue;
        }
        EXPECT_FALSE(Saturates(meter::CountsOn(samples, range))) << lux;
        if (range > 1) {
            EXPECT_TRUE(Saturates(meter::CountsOn(samples, range - 1))) << lux;
        }
    }
}

TEST(MeterReply, FixedRangeIsKeptAndClipsAtTheConverterTop)
{
    meter::Meter m(meter::Light{}, 1);  // 500 lx
    const auto low = Decode(m.Measure(4, 2));
    EXPECT_EQ(low.RangeIndex, 4);
    EXPECT_EQ(low.TimeMultiplier, 2);
    EXPECT_TRUE(std::all_of(low.Samples.begin(), low.Samples.begin() + 400, [](auto s) { return s == 65535; }));
    const auto high = Decode(m.Measure(8, 1));
    EXPECT_EQ(high.RangeIndex, 8);
    EXPECT_NEAR(MeanLux(high), 500, 20);
    EXPECT_EQ(Decode(m.Measure(0, 0)).TimeMultiplier, 1);  // a multiplier of 0 is taken as 1
}

TEST(MeterReply, RippleHasTheConfiguredPeriodAndDepth)
{
    meter::Light light;
    light.noisePercent = 0;
    light.ripplePercent = 20;
    std::mt19937 rng(1);
    const auto counts = meter::CountsOn(meter::SampleLight(light, 1, 0.0, rng), 5);
    // 100 Hz at 0.25 ms per sample: one period is 40 samples.
    for (std::size_t i = 0; i + 40 < counts.size(); ++i)
        ASSERT_NEAR(counts[i], counts[i + 40], 1) << i;
    EXPECT_GT(std::abs(counts[10] - counts[30]), 4000);
    analysis::MeasurementRecord rec = Decode(device::EncodeMeasurementReply(counts, meter::LuxFactorOf(5), 5, 1, 2.5f));
    auto stats = analysis::ShowStatistics(rec, 0, rec.SampleCount - 1, {".", ","});
    ASSERT_TRUE(stats.lines);
    ASSERT_EQ(stats.lines->size(), 5u);
    EXPECT_EQ((*stats.lines)[3], "К пульсаций  0.200");
    // Twice the multiplier, twice the time per sample: 20 samples per period.
    const auto slow = meter::CountsOn(meter::SampleLight(light, 2, 0.0, rng), 5);
    for (std::size_t i = 0; i + 20 < slow.size(); ++i)
        ASSERT_NEAR(slow[i], slow[i + 20], 1) << i;
}

TEST(MeterMemory, FortyStoredRecordsDifferAndStayTheSame)
{
    meter::Meter m(meter::Light{}, 5);
    meter::Meter other(meter::Light{}, 99);
    std::set<std::vector<std::uint8_t>> seen;
    int rippled = 0;  // records whose modulation is above 5 %
    for (int k = 0; k < meter::kStoredRecords; ++k) {
        const auto record = m.StoredRecord(k);
        ASSERT_TRUE(record) << k;
        EXPECT_EQ(record->size(), 811u);
        EXPECT_EQ(*record, *other.StoredRecord(k)) << "stored records do not depend on the live light";
        seen.insert(*record);
        const auto rec = Decode(*record);
        EXPECT_FALSE(std::count(rec.Samples.begin(), rec.Samples.begin() + 400, 65535) > 0) << k;
        // A building's survey: 150 to 1000 lx, most points well lit and steady.
        const auto [lo, hi] = std::minmax_element(rec.Samples.begin(), rec.Samples.begin() + 400);
        const double lux = (*lo + *hi) / 2.0 * rec.LuxFactor * rec.RangeDecade;
        EXPECT_TRUE(lux > 150 && lux < 1000) << k << ": " << lux;
        rippled += 100.0 * (*hi - *lo) / (*hi + *lo) > 5 ? 1 : 0;
    }
    EXPECT_EQ(seen.size(), 40u);
    EXPECT_TRUE(rippled > 0 && rippled <= 8) << rippled;
    EXPECT_NE(*meter::Meter(meter::Light{}, 5, 2).StoredRecord(7), *m.StoredRecord(7)) << "another record seed";
    EXPECT_FALSE(m.StoredRecord(40));
    EXPECT_FALSE(m.StoredRecord(-1));
}

TEST(MeterCalibration, RecordDecodesThroughTheDeviceLink)
{
    meter::Meter m(meter::Light{}, 5);
    const auto bytes = m.Calibration();
    ASSERT_EQ(bytes.size(), 37u);
    const auto cal = device::DecodeCalibrationRecord(std::span<const std::uint8_t, 37>(bytes.data(), 37));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(cal.kR[i], meter::RangeCoefficients()[i]);
    EXPECT_EQ(cal.kT, 0.25f);
    const auto listing = device::ListCalibration(cal, {",", " "});
    EXPECT_EQ(listing.lines[0], "OscCal=A7");
    EXPECT_EQ(listing.lines[1], "kT=0,25000,");
    EXPECT_EQ(listing.lines[2], "1.01320,  //kR[0] Sensitive");
}

std::vector<Command> FeedAll(meter::CommandParser& parser, const std::vector<std::uint8_t>& bytes)
{
    std::vector<Command> out;
    for (auto b : bytes)
        if (auto c = parser.Feed(b))
            out.push_back(*c);
    return out;
}

TEST(MeterCommands, TheWindowsCommandsAreRecognised)
{
    // The second byte is a number even when it looks like the check byte (32).
    const std::pair<device::CommandBytes, Command> cases[] = {
        {device::MeasureCommand(0, 255), {Command::Kind::Measure, 0, 255}},
        {device::MeasureCommand(8, 1), {Command::Kind::Measure, 8, 1}},
        {device::ReadRecordCommand(39), {Command::Kind::ReadRecord, 39, 0}},
        {device::CheckCommand(), {Command::Kind::Check, 0, 0}},
        {device::ReadRecordCommand(32), {Command::Kind::ReadRecord, 32, 0}},
    };
    meter::CommandParser parser;
    std::vector<std::uint8_t> stream;
    for (const auto& [bytes, command] : cases)
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    const auto commands = FeedAll(parser, stream);
    ASSERT_EQ(commands.size(), std::size(cases));
    const auto fields = [](const Command& c) { return std::tuple(c.kind, c.value1, c.value2); };
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(fields(commands[i]), fields(cases[i].second)) << i;
    EXPECT_FALSE(parser.Pending());
}

TEST(MeterCommands, StrayBytesAndHalfCommandsAreDropped)
{
    meter::CommandParser parser;
    EXPECT_TRUE(FeedAll(parser, {'9', 'A', 0, 255}).empty());
    EXPECT_EQ(parser.IgnoredBytes(), 4);
    EXPECT_TRUE(FeedAll(parser, {'3'}).empty());
    EXPECT_TRUE(parser.Pending());
    parser.Reset();
    const auto commands = FeedAll(parser, {' '});
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].kind, Command::Kind::Check);
}

}  // namespace
