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

StatisticsResult ShowStatistics(const MeasurementRecord& record, std::int32_t first,
                                std::int32_t end, const NumberFormat& nf)
{
    StatisticsResult result;
    if (end == first)
        return result;
    const double lux = record.LuxFactor;
    // A non-finite factor (a damaged file) is treated like one that is too large.
    if (!(std::fabs(lux) <= 20.0))
        return result;

    // A chart may report no first shown point but a last one; take the stretch
    // from the start then. Never read outside the valid samples.
    first = std::max<std::int32_t>(first, 0);
    end = std::min<std::int32_t>(end, std::clamp<std::int32_t>(record.SampleCount, 0, kSampleCapacity));

    result.lines.emplace();
    std::int32_t sampleMin = 65535;
    std::int32_t sampleMax = 0;
    std::int32_t sum = 0;
    for (std::int32_t i = first; i < end; ++i) {
        const std::int32_t v = record.Samples[static_cast<std::size_t>(i)];
        if (v > sampleMax)
            sampleMax = v;
        if (v < sampleMin)
            sampleMin = v;
        sum += v;
    }
    result.SampleMin = sampleMin;
    result.SampleMax = sampleMax;
    result.minMaxWritten = true;

    const std::int32_t count = end - first;
    if (count <= 0)
        return result;  // an empty stretch: the box is cleared, the mean would be 0
    const double meanExact = RoundHalfEven(static_cast<double>(sum) * lux / count);
    const auto M = static_cast<std::int32_t>(meanExact);  // |sum * 20| fits in 32 bits
    if (M == 0)
        return result;

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

    const std::string e = std::to_string(static_cast<int>(record.RangeIndex) - 5);
    const auto maxValue = static_cast<std::int64_t>(RoundHalfEven(sampleMax * lux));
    const auto minValue = static_cast<std::int64_t>(RoundHalfEven(sampleMin * lux));
    const double K = (sampleMax - sampleMin) * lux / 2.0 / M;

    auto& lines = *result.lines;
    lines.push_back("СРЕДНЕЕ     " + std::to_string(M) + " e" + e + " люкс");
    lines.push_back("МАКСИМУМ " + std::to_string(maxValue) + " e" + e + " люкс");
    lines.push_back("МИНИМУМ  " + std::to_string(minValue) + " e" + e + " люкс");
    lines.push_back("К пульсаций  " + FormatFixed(K, 3, nf));
    lines.push_back("СКО, %      " + FormatFixed(D, 3, nf));
    return result;
}

}  // namespace analysis
