#pragma once
// Pulsation period from the autocorrelation of the raw samples.
//
// The correlation chart shows the autocorrelation function normalised to its
// value at lag 1; its first two peaks give the period in samples and, with
// the record's time scale, the pulsation frequency in hertz. PeriodSearch
// computes everything the window puts on that chart; the window only copies
// the result into its series and title and shows the message when asked.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/measurement.h"
#include "analysis/number_format.h"

namespace analysis {

inline constexpr const char* kCorrelationTitle = "Корелляционная функция";
// Shown (information icon, OK button, help context kPeriodMessageHelpContext)
// when no period can be found.
inline constexpr const char* kPeriodMessage = "Выберите менее чувствительный диапазон или диапазон АВТО.";
inline constexpr int kPeriodMessageHelpContext = 3;
inline constexpr int kMaxSmoothWidth = 100;

struct ChartPoint {
    double x = 0.0;
    double y = 0.0;
};

struct PeriodResult {
    std::vector<ChartPoint> curve;    // SeriesCorr: (lag, R[lag] / R[1])
    std::vector<ChartPoint> marker;   // SeriesPeriod: none or (P1, A/R[1]), (P2, A/R[1])
    std::vector<std::string> title;   // the lines of the ChartCorr title (may be none)
    bool showMessage = false;         // show kPeriodMessage
    std::int32_t P1 = -1;             // lag of the first peak, -1 when not found
    std::int32_t P2 = -1;             // lag of the second peak, -1 when not found
    std::optional<double> frequency;  // hertz, when a period was found and F is finite
};

// The autocorrelation of step 2: H = SampleCount div 2 lags, each the sum of H
// products Samples[j] * Samples[j + k], j = 0 .. H - 1. A SampleCount outside
// 0 .. kSampleCapacity is clamped to it.
std::vector<double> Autocorrelation(const MeasurementRecord& record);

// Moving sum of w + 1 lags divided by w, in place over the first size - w
// lags (each sum still sees unsmoothed values); the function is then cut to
// those lags. Nothing happens for w <= 0; w >= size leaves an empty function.
void SmoothAutocorrelation(std::vector<double>& R, int w);

// The whole analysis for one record, smoothing width w (seSmooth) and the
// period switch (chPeriod). Every outcome is in the result; nothing is thrown.
//  - fewer than 4 samples, or R[1] = 0 after smoothing (a record of zeros):
//    no curve, no message, title kCorrelationTitle;
//  - w >= H (no lag left after smoothing): no curve, the message, no title;
//  - fewer than two peaks, or a frequency that is not a finite number (a
//    TimeMultiplier or SampleInterval of 0): the curve, the message, no title;
//  - otherwise the curve, the marker when showPeriod, and the title
//    "Число точек на период:<p>;  F=<F>Гц".
PeriodResult PeriodSearch(const MeasurementRecord& record, int smoothWidth, bool showPeriod, const NumberFormat& nf);

}  // namespace analysis
