#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>

namespace analysis {

double RangeDecadeFor(int rangeIndex)
{
    double decade = 1e-4;
    for (int step = rangeIndex - 1; step >= 1; --step)
        decade *= 10.0;
    return decade;
}

StatisticsValues ComputeStatistics(const MeasurementRecord& record, std::int32_t first, std::int32_t end)
{
    using Outcome = StatisticsValues::Outcome;
    StatisticsValues v;
    if (end == first)
        return v;
    const double lux = record.LuxFactor;
    // A non-finite factor (a damaged file) is treated like one that is too large.
    if (!(std::fabs(lux) <= 20.0))
        return v;

    // A chart may report no first shown point but a last one; take the stretch
    // from the start then. Never read outside the valid samples.
    first = std::max<std::int32_t>(first, 0);
    end = std::min<std::int32_t>(end, std::clamp<std::int32_t>(record.SampleCount, 0, kSampleCapacity));

    v.outcome = Outcome::Cleared;
    std::int32_t sampleMin = 65535;
    std::int32_t sampleMax = 0;
    std::int32_t sum = 0;
    for (std::int32_t i = first; i < end; ++i) {
        const std::int32_t s = record.Samples[static_cast<std::size_t>(i)];
        if (s > sampleMax)
            sampleMax = s;
        if (s < sampleMin)
            sampleMin = s;
        sum += s;
    }
    v.SampleMin = sampleMin;
    v.SampleMax = sampleMax;
    v.minMaxWritten = true;

    const std::int32_t count = end - first;
    if (count <= 0)
        return v;  // an empty stretch: the box is cleared, the mean would be 0
    const double meanExact = RoundHalfEven(static_cast<double>(sum) * lux / count);
    const auto M = static_cast<std::int32_t>(meanExact);  // |sum * 20| fits in 32 bits
    if (M == 0)
        return v;

    double S = 0.0;
    for (std::int32_t i = first; i < end; ++i) {
        const double d = M - record.Samples[static_cast<std::size_t>(i)] * lux;
        S += d * d;
    }
    double D = 0.0;
    if (count > 1) {
        D = std::sqrt(S / (count - 1)) * 100.0 / M;
        if (!std::isfinite(D))
            D = 0.0;
    }
    v.outcome = Outcome::Shown;
    v.mean = M;
    v.maximum = static_cast<std::int64_t>(RoundHalfEven(sampleMax * lux));
    v.minimum = static_cast<std::int64_t>(RoundHalfEven(sampleMin * lux));
    v.pulsation = (sampleMax - sampleMin) * lux / 2.0 / M;
    v.deviation = D;
    v.exponent = static_cast<int>(record.RangeIndex) - 5;
    return v;
}

StatisticsResult ShowStatistics(const MeasurementRecord& record, std::int32_t first, std::int32_t end,
                                const NumberFormat& nf)
{
    const StatisticsValues v = ComputeStatistics(record, first, end);
    StatisticsResult result;
    result.SampleMin = v.SampleMin;
    result.SampleMax = v.SampleMax;
    result.minMaxWritten = v.minMaxWritten;
    if (v.outcome == StatisticsValues::Outcome::Unchanged)
        return result;
    result.lines.emplace();
    if (v.outcome == StatisticsValues::Outcome::Cleared)
        return result;
    const std::string e = std::to_string(v.exponent);
    auto& lines = *result.lines;
    lines.push_back("СРЕДНЕЕ     " + std::to_string(v.mean) + " e" + e + " люкс");
    lines.push_back("МАКСИМУМ " + std::to_string(v.maximum) + " e" + e + " люкс");
    lines.push_back("МИНИМУМ  " + std::to_string(v.minimum) + " e" + e + " люкс");
    lines.push_back("К пульсаций  " + FormatFixed(v.pulsation, 3, nf));
    lines.push_back("СКО, %      " + FormatFixed(v.deviation, 3, nf));
    return result;
}

}  // namespace analysis
