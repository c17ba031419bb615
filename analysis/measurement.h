#pragma once
// The one measurement record the main window keeps in memory.
//
// It holds the raw samples of the last decoded meter reply, memory record or
// opened data file, together with what turns them into lux and milliseconds:
//   lux of sample i  = Samples[i] * LuxFactor * RangeDecade
//   time of sample i = i * TimeMultiplier * SampleInterval  (milliseconds)

#include <array>
#include <cstdint>

namespace analysis {

inline constexpr int kSampleCapacity = 406;   // the largest reply gives 405 samples
inline constexpr int kFileSampleCount = 400;  // what a data file holds

struct MeasurementRecord {
    std::array<std::uint16_t, kSampleCapacity> Samples{};
    std::int32_t SampleCount = 0;
    std::uint8_t RangeIndex = 0;      // 1..8, decade exponent RangeIndex - 5
    std::uint8_t TimeMultiplier = 0;  // 1..255
    float LuxFactor = 0.0f;           // lux per converter unit at decade 1
    float SampleInterval = 0.0f;      // base sampling interval, milliseconds
    double RangeDecade = 0.0;         // 10^(RangeIndex - 5)
};

// 10^(RangeIndex - 5) as the meter's reply decoding computes it: 1e-4, then
// multiplied by 10 once for each step from RangeIndex - 1 down to 1.
double RangeDecadeFor(int rangeIndex);

}  // namespace analysis
