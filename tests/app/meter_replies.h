#pragma once
// Replies as the meter sends them, for window tests that play the meter.

#include <cstdint>
#include <string>
#include <vector>

#include "helpers/sampled_record.h"
#include "device/reply.h"
#include "files/svk_file.h"

// A measurement reply with the leading byte 0x55.
inline std::vector<std::uint8_t> MeasurementReply(const std::vector<std::uint16_t>& samples, float lux,
                                                  std::uint8_t range, std::uint8_t multiplier, float intervalTenths)
{
    return device::EncodeMeasurementReply(samples, lux, range, multiplier, intervalTenths, 0x55);
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
