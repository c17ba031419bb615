// Time of one correlation analysis of the largest record (405 samples), as
// every reply, file open and smoothing change runs it on the window's thread.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "analysis/period.h"

int main()
{
    analysis::MeasurementRecord r;
    for (int j = 0; j < 405; ++j)
        r.Samples[static_cast<std::size_t>(j)] =
            static_cast<std::uint16_t>(30000 + 20000 * std::sin(2 * std::numbers::pi * j / 40.0));
    r.SampleCount = 405;
    r.TimeMultiplier = 1;
    r.SampleInterval = 0.25f;
    const analysis::NumberFormat nf;

    for (int w : {0, 100}) {
        constexpr int kRuns = 2000;
        std::size_t points = 0;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRuns; ++i)
            points += analysis::PeriodSearch(r, w, true, nf).curve.size();
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        std::printf("PeriodSearch, 405 samples, smoothing %3d: %8.1f us per run (%zu points)\n", w,
                    spent.count() / kRuns, points / kRuns);
    }
    return 0;
}
