#pragma once
// Records of a wave for the tests of the flicker metrics and their spectrum.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

#include "analysis/measurement.h"

// A file's 400 samples of f(i), 0.1 ms apart unless told.
template <class F>
inline analysis::MeasurementRecord Record(F f, float lux = 1.0f, std::uint8_t range = 5, float intervalMs = 0.1f)
{
    analysis::MeasurementRecord r;
    r.SampleCount = analysis::kFileSampleCount;
    for (int i = 0; i < r.SampleCount; ++i)
        r.Samples[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(std::lround(f(i)));
    r.RangeIndex = range;
    r.RangeDecade = analysis::RangeDecadeFor(range);
    r.LuxFactor = lux;
    r.TimeMultiplier = 1;
    r.SampleInterval = intervalMs;
    return r;
}

inline double Sine(int i, double level, double modulation, int period)
{
    return level * (1.0 + modulation * std::sin(2.0 * std::numbers::pi * i / period));
}
