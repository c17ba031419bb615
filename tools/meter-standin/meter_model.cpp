#include "meter_model.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "device/reply.h"

namespace meter {

namespace {

constexpr std::array<float, kRangeCount> kCoefficients = {1.0132f, 0.9978f, 1.0051f, 0.9921f,
                                                          1.0000f, 1.0067f, 0.9943f, 1.0025f};
constexpr float kTimeCoefficient = 0.25f;
constexpr std::uint8_t kOscCal = 0xA7;

void PutFloat(std::vector<std::uint8_t>& out, float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(bits >> shift));
}

int ClampRange(int range)
{
    return std::clamp(range, 1, kRangeCount);
}

}  // namespace

const std::array<float, kRangeCount>& RangeCoefficients()
{
    return kCoefficients;
}

float LuxFactorOf(int range)
{
    return kNominalLuxFactor * kCoefficients[static_cast<std::size_t>(ClampRange(range) - 1)];
}

double DecadeOf(int range)
{
    return std::pow(10.0, ClampRange(range) - 5);
}

double FullScaleLux(int range)
{
    return kConverterTop * static_cast<double>(LuxFactorOf(range)) * DecadeOf(range);
}

std::vector<double> SampleLight(const Light& light, int multiplier, double phase, std::mt19937& rng)
{
    std::normal_distribution<double> noise(0.0, light.lux * light.noisePercent / 100.0);
    const double step = kBaseIntervalMs / 1000.0 * std::max(multiplier, 1);
    std::vector<double> lux(kReplySamples);
    for (int i = 0; i < kReplySamples; ++i) {
        const double ripple =
            light.ripplePercent / 100.0 * std::sin(2.0 * std::numbers::pi * light.frequencyHz * i * step + phase);
        const double value = light.lux * (1.0 + ripple) + (light.noisePercent > 0 ? noise(rng) : 0.0);
        lux[static_cast<std::size_t>(i)] = std::max(value, 0.0);
    }
    return lux;
}

std::vector<std::uint16_t> CountsOn(const std::vector<double>& lux, int range)
{
    const double luxPerCount = static_cast<double>(LuxFactorOf(range)) * DecadeOf(range);
    std::vector<std::uint16_t> counts;
    counts.reserve(lux.size());
    for (double value : lux)
        counts.push_back(
            static_cast<std::uint16_t>(std::clamp(std::round(value / luxPerCount), 0.0, double{kConverterTop})));
    return counts;
}

int AutoRange(const std::vector<double>& lux)
{
    for (int range = 1; range <= kRangeCount; ++range) {
        const auto counts = CountsOn(lux, range);
        if (std::none_of(counts.begin(), counts.end(), [](std::uint16_t c) { return c >= kConverterTop; }))
            return range;
    }
    return kRangeCount;
}

std::vector<std::uint8_t> BuildCalibration(const std::array<float, kRangeCount>& kR, float kT, std::uint8_t oscCal)
{
    std::vector<std::uint8_t> out;
    for (float k : kR)
        PutFloat(out, k);
    PutFloat(out, kT);
    out.push_back(oscCal);
    return out;
}

std::optional<Command> CommandParser::Feed(std::uint8_t byte)
{
    if (pending_ != 0) {
        const std::uint8_t first = pending_;
        pending_ = 0;
        if (first == 64)
            return Command{Command::Kind::ReadRecord, byte, 0};
        return Command{Command::Kind::Measure, first - '0', byte};
    }
    if ((byte >= '0' && byte <= '8') || byte == 64) {
        pending_ = byte;
        return std::nullopt;
    }
    if (byte == 32)
        return Command{Command::Kind::Check, 0, 0};
    ++ignored_;
    return std::nullopt;
}

Meter::Meter(const Light& light, std::uint32_t seed, std::uint32_t recordSeed) : light_(light), rng_(seed)
{
    // The stored records, the same for the same record seed: a survey of a
    // building, eight rooms of five points each, the points of a room near
    // one another (one lamp type, one level); E from 150 to 1000 lx, most Kп
    // a few percent, one room of old lamps and one bad driver well above.
    struct Room {
        double lux, ripplePercent, frequencyHz;
    };
    static constexpr Room kRooms[] = {
        {320, 2.0, 100},  {520, 3.0, 100}, {210, 1.5, 300}, {430, 3.5, 100},
        {760, 12.0, 100}, {170, 2.5, 120}, {930, 3.0, 100}, {360, 2.0, 100},
    };
    constexpr int kPerRoom = kStoredRecords / static_cast<int>(std::size(kRooms));
    std::mt19937 pick(recordSeed);
    std::uniform_real_distribution<double> level(0.92, 1.06);
    std::uniform_real_distribution<double> depth(0.85, 1.15);
    for (int k = 0; k < kStoredRecords; ++k) {
        const Room& room = kRooms[static_cast<std::size_t>(k / kPerRoom) % std::size(kRooms)];
        Light stored;
        stored.lux = room.lux * level(pick);
        stored.ripplePercent = room.ripplePercent * depth(pick);
        if (k == kStoredRecords - 2)
            stored.ripplePercent = 18.0;  // the bad driver
        stored.frequencyHz = room.frequencyHz;
        stored.noisePercent = 0.1 + 0.05 * static_cast<double>(pick() % 3);
        const int multiplier = 1 + static_cast<int>(pick() % 2);
        std::mt19937 rng(recordSeed * 1000u + static_cast<std::uint32_t>(k));
        records_.push_back(Reply(64, stored, 0, multiplier, rng));
    }
}

double Meter::MeasuringTimeMs(int multiplier)
{
    return kReplySamples * kBaseIntervalMs * std::max(multiplier, 1);
}

std::vector<std::uint8_t> Meter::Reply(std::uint8_t leadingByte, const Light& light, int rangeDigit, int multiplier,
                                       std::mt19937& rng) const
{
    multiplier = std::clamp(multiplier, 1, 255);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
    const auto lux = SampleLight(light, multiplier, phase(rng), rng);
    const int range = rangeDigit >= 1 && rangeDigit <= kRangeCount ? rangeDigit : AutoRange(lux);
    return device::EncodeMeasurementReply(CountsOn(lux, range), LuxFactorOf(range), static_cast<std::uint8_t>(range),
                                          static_cast<std::uint8_t>(multiplier), kBaseIntervalMs * 10.0f, leadingByte);
}

std::vector<std::uint8_t> Meter::Measure(int rangeDigit, int multiplier)
{
    return Reply(static_cast<std::uint8_t>('0' + rangeDigit), light_, rangeDigit, multiplier, rng_);
}

std::optional<std::vector<std::uint8_t>> Meter::StoredRecord(int number) const
{
    if (number < 0 || number >= kStoredRecords)
        return std::nullopt;
    return records_[static_cast<std::size_t>(number)];
}

std::vector<std::uint8_t> Meter::Calibration() const
{
    return BuildCalibration(kCoefficients, kTimeCoefficient, kOscCal);
}

}  // namespace meter
