#pragma once
// What the meter stand-in measures and answers, without any I/O: the light
// level it simulates, the converter counts per range, the automatic range, the
// reply bytes, the stored records and the command byte stream.

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace meter {

inline constexpr int kRangeCount = 8;  // ranges 1..8, decade 10^(range - 5)
inline constexpr int kReplySamples = 400;
inline constexpr int kReplySize = 1 + 2 * kReplySamples + 10;  // 811
inline constexpr int kCalibrationSize = 37;
inline constexpr int kStoredRecords = 40;
inline constexpr std::uint16_t kConverterTop = 65535;  // 16-bit converter
inline constexpr float kBaseIntervalMs = 0.25f;        // sampling interval at multiplier 1
inline constexpr float kNominalLuxFactor = 0.02f;      // lux per count at decade 1

// The light at the sensor: a steady level with a mains ripple and a little noise.
struct Light {
    double lux = 500.0;
    double ripplePercent = 10.0;  // amplitude of the ripple, percent of the level
    double frequencyHz = 100.0;   // ripple frequency (twice the mains frequency)
    double noisePercent = 1.0;    // standard deviation of the noise, percent of the level
};

// Per-range calibration of the stand-in (also listed as kR[0..7] of its
// calibration record); the lux factor of range r is kNominalLuxFactor * coefficient.
const std::array<float, kRangeCount>& RangeCoefficients();
float LuxFactorOf(int range);
double DecadeOf(int range);
// The light level at which range r saturates.
double FullScaleLux(int range);

// The light in lux at the sampling instants i * multiplier * kBaseIntervalMs,
// starting at ripple phase `phase` (radians); never negative.
std::vector<double> SampleLight(const Light& light, int multiplier, double phase, std::mt19937& rng);

// Converter counts of the light on range r, clipped to 0 .. kConverterTop.
std::vector<std::uint16_t> CountsOn(const std::vector<double>& lux, int range);

// The automatic range: the most sensitive range (smallest full scale) on
// which no sample reaches the converter's top; range 8 when every range saturates.
int AutoRange(const std::vector<double>& lux);

// The 37-byte calibration record: kR[0..7], kT (floats, little-endian), OscCal.
std::vector<std::uint8_t> BuildCalibration(const std::array<float, kRangeCount>& kR, float kT, std::uint8_t oscCal);

// One decoded command of the window.
struct Command {
    enum class Kind { Measure, ReadRecord, Check };
    Kind kind = Kind::Check;
    int value1 = 0;  // Measure: range digit 0..8; ReadRecord: record number
    int value2 = 0;  // Measure: time multiplier byte
};

// Splits the received byte stream into commands. Bytes that start no command
// are dropped (IgnoredBytes counts them).
class CommandParser {
public:
    std::optional<Command> Feed(std::uint8_t byte);
    // True between the first and the second byte of a two-byte command.
    bool Pending() const { return pending_ != 0; }
    // Drops a half-received command (the second byte never came).
    void Reset() { pending_ = 0; }
    int IgnoredBytes() const { return ignored_; }

private:
    std::uint8_t pending_ = 0;
    int ignored_ = 0;
};

// The simulated meter: live measurements of the configured light, 40 fixed
// stored records and the calibration record.
class Meter {
public:
    // `seed` drives the live measurements, `recordSeed` the 40 stored records.
    Meter(const Light& light, std::uint32_t seed, std::uint32_t recordSeed = 1);

    // rangeDigit 0 = automatic, 1..8 = fixed range; a multiplier of 0 counts as 1.
    std::vector<std::uint8_t> Measure(int rangeDigit, int multiplier);
    // The stored record 0..39; nullopt for other numbers (the meter stays silent).
    std::optional<std::vector<std::uint8_t>> StoredRecord(int number) const;
    std::vector<std::uint8_t> Calibration() const;
    // How long a measurement with this multiplier takes, in milliseconds.
    static double MeasuringTimeMs(int multiplier);

private:
    std::vector<std::uint8_t> Reply(std::uint8_t leadingByte, const Light& light, int rangeDigit, int multiplier,
                                    std::mt19937& rng) const;

    Light light_;
    std::mt19937 rng_;
    std::vector<std::vector<std::uint8_t>> records_;
};

}  // namespace meter
