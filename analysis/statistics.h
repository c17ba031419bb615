#pragma once
// Statistics of a stretch of the measurement record: the five lines of the
// result box (mean, maximum, minimum, pulsation coefficient, relative
// standard deviation).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/measurement.h"
#include "analysis/number_format.h"

namespace analysis {

struct StatisticsResult {
    // nullopt: the result box is left as it was. Otherwise the box is cleared
    // and gets these lines (none when the mean rounds to 0).
    std::optional<std::vector<std::string>> lines;
    std::int32_t SampleMin = 65535;
    std::int32_t SampleMax = 0;
    bool minMaxWritten = false;  // SampleMin/SampleMax were recomputed
};

// The numbers behind the result box, for callers that need them unformatted
// (the measurement protocol). The box is built from exactly these.
struct StatisticsValues {
    enum class Outcome {
        Unchanged,  // the box is left as it was (empty stretch, unusable LuxFactor)
        Cleared,    // the box is cleared and stays empty (no samples, or the mean rounds to 0)
        Shown,      // the box shows the five lines
    };
    Outcome outcome = Outcome::Unchanged;
    std::int32_t SampleMin = 65535;
    std::int32_t SampleMax = 0;
    bool minMaxWritten = false;
    std::int32_t mean = 0;     // M: the mean in units of the decade, rounded
    std::int64_t maximum = 0;  // in units of the decade, rounded
    std::int64_t minimum = 0;
    double pulsation = 0.0;  // K, a fraction (the box shows 3 decimals)
    double deviation = 0.0;  // D, percent
    int exponent = 0;        // the decade the box shows: "e" + exponent
};

StatisticsValues ComputeStatistics(const MeasurementRecord& record, std::int32_t first, std::int32_t end);

// Statistics of the samples first .. end - 1 (end exclusive).
StatisticsResult ShowStatistics(const MeasurementRecord& record, std::int32_t first, std::int32_t end,
                                const NumberFormat& nf);

}  // namespace analysis
