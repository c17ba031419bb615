#pragma once
// Decoding the meter's replies.
//
// A reply is an unframed burst. More than 110 bytes is a measurement reply:
//   byte 0          unused
//   bytes 1..n-1    samples, unsigned 16-bit little-endian (n = bytes - 10)
//   n               LuxFactor, float little-endian
//   n+4, n+5        RangeIndex, TimeMultiplier
//   n+6             sample interval in tenths of a millisecond, float little-endian
// Anything shorter is listed as the 37-byte calibration record, taken from the
// start of the receive buffer (which keeps the bytes of earlier replies).

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "analysis/measurement.h"
#include "analysis/number_format.h"

namespace device {

inline constexpr int kRxBufferSize = 820;
inline constexpr int kReplyTrailerSize = 10;
inline constexpr int kMinMeasurementReplySize = 111;
inline constexpr int kCalibrationRecordSize = 37;

struct CalibrationRecord {
    std::array<float, 8> kR{};  // range coefficients
    float kT = 0.0f;            // time coefficient
    std::uint8_t OscCal = 0;    // oscillator calibration byte
};

// The receive state the window keeps between reads: read the port into
// RxBuffer (at most kRxBufferSize bytes), then call Received with the count.
struct ReplyReceiver {
    std::array<std::uint8_t, kRxBufferSize> RxBuffer{};
    std::int32_t RxDataLength = 0;  // bytes of the last read minus 10

    // Notes that `count` bytes were just read into RxBuffer.
    void Received(int count);
    // The last read is a measurement reply (more than 110 bytes).
    bool IsMeasurement() const { return RxDataLength > 100; }
    // Decodes the last read as a measurement reply; requires IsMeasurement().
    void DecodeMeasurement(analysis::MeasurementRecord& record) const;
    // The calibration record in the first 37 bytes of RxBuffer.
    CalibrationRecord Calibration() const;
};

// Decodes a whole measurement reply of 111..820 bytes into the record: all
// fields, and Samples[0 .. SampleCount); later samples are left as they were.
// Throws std::invalid_argument for other sizes.
void DecodeMeasurementReply(std::span<const std::uint8_t> reply, analysis::MeasurementRecord& record);

// The bytes of a measurement reply: `leadingByte`, the samples low byte first,
// then the trailer (LuxFactor, RangeIndex, TimeMultiplier, the sample interval
// in tenths of a millisecond). DecodeMeasurementReply reads them back.
std::vector<std::uint8_t> EncodeMeasurementReply(std::span<const std::uint16_t> samples, float luxFactor,
                                                 std::uint8_t rangeIndex, std::uint8_t timeMultiplier,
                                                 float intervalTenthsMs, std::uint8_t leadingByte = 0);

CalibrationRecord DecodeCalibrationRecord(std::span<const std::uint8_t, kCalibrationRecordSize> bytes);

struct CalibrationListing {
    std::vector<std::string> lines;  // the lines of the result box
    float kT = 0.0f;                 // for the window to keep if it wants
};

// The calibration record as initialiser lines of a C-like source:
//   OscCal=A7
//   kT=0.10000,
//   1.50000,  //kR[0] Sensitive
//   ...
//   8.00000   //kR[7]
// Numbers use the user's decimal separator, except that a decimal comma as the
// second character of a kR line becomes a point.
CalibrationListing ListCalibration(const CalibrationRecord& record, const analysis::NumberFormat& nf);

}  // namespace device
