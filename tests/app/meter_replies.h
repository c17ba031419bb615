#pragma once
// Replies as the meter sends them, for window tests that play the meter.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../analysis/sampled_record.h"
#include "files/svk_file.h"

// One leading byte, the samples (low byte first), then LuxFactor, RangeIndex,
// TimeMultiplier and the sample interval in tenths of a millisecond.
inline std::vector<std::uint8_t> MeasurementReply(const std::vector<std::uint16_t>& samples, float lux,
                                                  std::uint8_t range, std::uint8_t multiplier,
                                                  float intervalTenths)
{
    std::vector<std::uint8_t> r{0x55};
    for (std::uint16_t v : samples) {
        r.push_back(static_cast<std::uint8_t>(v & 0xFF));
        r.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    auto put = [&r](float f) {
        std::uint8_t b[4];
        std::memcpy(b, &f, 4);
        r.insert(r.end(), b, b + 4);
    };
    put(lux);
    r.push_back(range);
    r.push_back(multiplier);
    put(intervalTenths);
    return r;
}

// A square wave with a period of 40 samples around 20000.
inline std::vector<std::uint16_t> SquareWave(int count)
{
    std::vector<std::uint16_t> s;
    for (int i = 0; i < count; ++i)
        s.push_back(static_cast<std::uint16_t>(20000 + ((i % 40) < 20 ? 2000 : -2000)));
    return s;
}

// A measurement file of `count` samples cycling through 900..939 lux units,
// range 5, time multiplier 1, 0.25 ms per sample, no comment.
inline void WriteRecordFile(const std::string& path, int count)
{
    files::WriteMeasurementFile(path, SampledRecord(count, 1.0f, [](int i) { return 900 + i % 40; }), "");
}
