// A measurement record for tests: `count` samples of `sample(i)` at range 5
// (decade 1), time multiplier 1, 0.25 ms apart, `luxFactor` lux per unit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/measurement.h"

template <class SampleAt>
analysis::MeasurementRecord SampledRecord(int count, float luxFactor, SampleAt sample)
{
    analysis::MeasurementRecord r;
    for (int i = 0; i < count; ++i)
        r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(sample(i));
    r.SampleCount = count;
    r.RangeIndex = 5;
    r.TimeMultiplier = 1;
    r.LuxFactor = luxFactor;
    r.SampleInterval = 0.25f;
    r.RangeDecade = 1.0;
    return r;
}
