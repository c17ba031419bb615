#pragma once
// The commands the window sends to the meter, as the bytes to write in order.

#include <cstdint>
#include <vector>

namespace device {

using CommandBytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kReadRecordByte = 64;  // '@'
inline constexpr std::uint8_t kCheckByte = 32;       // ' '
inline constexpr int kStoredRecordCount = 40;        // records 0..39 in the meter's memory

// Start a measurement: the range digit '0' + rangeItem (0 = automatic range,
// 1..8 = fixed range), then the time multiplier's low 8 bits.
inline CommandBytes MeasureCommand(int rangeItem, int timeMultiplier)
{
    return {static_cast<std::uint8_t>('0' + rangeItem), static_cast<std::uint8_t>(timeMultiplier & 0xFF)};
}

// Read stored record `record` (0..39): 64, then the number's low 8 bits.
inline CommandBytes ReadRecordCommand(int record)
{
    return {kReadRecordByte, static_cast<std::uint8_t>(record & 0xFF)};
}

// Ask for the calibration record.
inline CommandBytes CheckCommand()
{
    return {kCheckByte};
}

}  // namespace device
