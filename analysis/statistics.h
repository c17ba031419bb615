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

// Statistics of the samples first .. end - 1 (end exclusive).
StatisticsResult ShowStatistics(const MeasurementRecord& record, std::int32_t first,
                                std::int32_t end, const NumberFormat& nf);

}  // namespace analysis
