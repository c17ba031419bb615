#pragma once
// Flicker metrics of one measurement for the inspector's protocol.
//
// Everything is computed over the stretch the result box uses after a file
// is opened (samples 0 .. N-2 of the N read): the illuminance E and the
// pulsation coefficient Kп exactly as the box shows them, the percent
// flicker PF, the strongest flicker frequency F, the flicker index FI, the
// stroboscopic visibility measure SVM and the risk class of the IEEE 1789
// recommendation.

#include <optional>
#include <string>
#include <vector>

#include "analysis/measurement.h"
#include "analysis/number_format.h"

namespace analysis {

inline constexpr double kDefaultPulsationLimit = 5.0;  // percent
inline constexpr double kSvmLowHz = 80.0;
inline constexpr double kSvmHighHz = 2000.0;

enum class Ieee1789Class { NoEffect, LowRisk, Risk };

struct FlickerMetrics {
    // Empty when the metrics are valid; otherwise why the record cannot be used (Russian).
    std::string unusable;

    // E: the box's mean with its decade applied. meanUnits * 10^exponent lux.
    std::int32_t meanUnits = 0;
    int exponent = 0;
    double illuminance = 0.0;  // lux
    // Kп in percent: the box's coefficient (3 decimals) times 100.
    std::int64_t pulsationThousandths = 0;  // the box's K in thousandths
    double pulsationPercent = 0.0;

    double percentFlicker = 0.0;         // PF, percent
    std::optional<double> frequency;     // F, Hz; none below 1 % of the mean
    std::optional<double> flickerIndex;  // FI; none without a whole period
    std::optional<double> svm;           // none without a whole period or a usable band
    double svmUpperHz = kSvmHighHz;      // the highest frequency SVM could take in
    Ieee1789Class ieee = Ieee1789Class::NoEffect;
    double sampleRateHz = 0.0;
    int stretchSamples = 0;    // n: samples of the stretch
    int periodRunSamples = 0;  // samples of the whole-period run used for FI and SVM

    bool Usable() const { return unusable.empty(); }
    // SVM could not take in components up to 2000 Hz (the sampling is too slow).
    bool SvmLimitedByNyquist() const { return svmUpperHz < kSvmHighHz; }
};

FlickerMetrics ComputeFlickerMetrics(const MeasurementRecord& record);

// One line of an amplitude spectrum: a component's frequency and amplitude
// in percent of the mean.
struct SpectrumLine {
    double hz = 0.0;
    double percent = 0.0;
};

// The amplitude spectrum the metrics were taken from: that of the whole
// periods of F from the first sample (the run of FI and SVM; the whole
// stretch without F), 0 Hz left out, up to half the sampling rate; and the
// harmonics k * F up to that frequency.
struct FlickerSpectrum {
    std::string unusable;  // as in FlickerMetrics
    std::vector<SpectrumLine> lines;
    std::vector<SpectrumLine> harmonics;  // empty without F
    std::optional<double> frequency;      // F
    double nyquistHz = 0.0;
};

FlickerSpectrum ComputeFlickerSpectrum(const MeasurementRecord& record);

// T(f) of the SVM: the visibility threshold of a component at f hertz.
double SvmThreshold(double hz);

// The bounds of the IEEE 1789 classes: PF (percent) at most a slope times F
// (hertz), one slope below the break frequency and another from it; above its
// end frequency a class holds at any PF.
struct Ieee1789Bound {
    double slopeBelow;
    double slopeAbove;
    double endHz;
    double MaxPercent(double hz) const { return (hz >= kBreakHz ? slopeAbove : slopeBelow) * hz; }
    static constexpr double kBreakHz = 90.0;
};
inline constexpr Ieee1789Bound kIeee1789NoEffect{0.01, 0.0333, 3000.0};
inline constexpr Ieee1789Bound kIeee1789LowRisk{0.025, 0.08, 1250.0};

Ieee1789Class ClassifyIeee1789(std::optional<double> frequency, double percentFlicker);
const char* Ieee1789Text(Ieee1789Class c);  // "нет эффекта", "низкий риск", "риск"

// Texts of the protocol's cells with the given decimal separator; "—" for a
// value that is none.
std::string IlluminanceText(const FlickerMetrics& m, const NumberFormat& nf);
std::string PulsationText(const FlickerMetrics& m, const NumberFormat& nf);  // one decimal
std::string OptionalText(const std::optional<double>& value, int decimals, const NumberFormat& nf);
inline constexpr const char* kNone = "—";

}  // namespace analysis
